// Fresh UsernameTokens only: a Created time near the camera's clock, and each (Nonce, Created)
// pair accepted once while it is fresh. Accepted pairs are remembered in a fixed number of
// slots, in the process or, for CGI programs that live one request, in a locked file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace nvtd {

inline constexpr int kDefaultTokenWindow = 300;  // seconds either side of the camera's clock
inline constexpr std::size_t kTokenSlots = 8192;
inline constexpr char kTokenFileDirectory[] = "/run/nvtd";
inline constexpr char kTokenFileName[] = "tokens";

// An xs:dateTime with "Z" or a "+hh:mm"/"-hh:mm" offset (fractions of a second allowed) as
// seconds since the epoch, UTC; nullopt for anything else, a time without a zone included.
std::optional<std::int64_t> parse_created(std::string_view text);

// One remembered token: a digest of its nonce and Created, and when it may be forgotten.
struct TokenSlot {
  std::array<unsigned char, 16> key;
  std::int64_t forget_at;  // 0: free
};

enum class TokenAdmission { kAdmitted, kReplayed, kFull };

// Admits the key into the first free or forgettable slot unless a live slot holds it already.
TokenAdmission admit_token(TokenSlot* slots, std::size_t count,
                           const std::array<unsigned char, 16>& key, std::int64_t forget_at,
                           std::int64_t now);

class TokenMemory {
 public:
  virtual ~TokenMemory() = default;
  virtual TokenAdmission admit(const std::array<unsigned char, 16>& key, std::int64_t forget_at,
                               std::int64_t now) = 0;
};

// Slots in this process (server and relay modes), from zeroed pages that become resident
// only as tokens are written to them (a scan of untouched ones reads the kernel's zero page).
// Without memory every token is refused as by a full table.
class ProcessTokenMemory : public TokenMemory {
 public:
  explicit ProcessTokenMemory(std::size_t slots = kTokenSlots);
  TokenAdmission admit(const std::array<unsigned char, 16>& key, std::int64_t forget_at,
                       std::int64_t now) override;

 private:
  struct Free {
    void operator()(TokenSlot* slots) const { std::free(slots); }
  };
  std::unique_ptr<TokenSlot[], Free> slots_;
  std::size_t count_;
};

// Slots in a file of fixed size that every CGI process opens under an exclusive flock. The
// directory is made root-only (0700, owned by this user) and neither it nor the file is
// used when another user could have made or changed them; then every token is refused.
class FileTokenMemory : public TokenMemory {
 public:
  FileTokenMemory(std::string directory, std::string name, std::size_t slots = kTokenSlots)
      : directory_(std::move(directory)), name_(std::move(name)), slots_(slots) {}
  TokenAdmission admit(const std::array<unsigned char, 16>& key, std::int64_t forget_at,
                       std::int64_t now) override;

 private:
  std::string directory_;
  std::string name_;
  std::size_t slots_;
};

// The token memory of this process: ProcessTokenMemory unless set otherwise at start-up.
TokenMemory& token_memory();
void set_token_memory(std::unique_ptr<TokenMemory> memory);

// Whether a token whose digest is right may pass: Created within window seconds of now and
// the pair not seen before (remembered until Created + window). With window 0 every token
// passes, as for clients that do not follow the camera's clock. Logs a full table.
bool token_is_fresh(std::string_view nonce, std::string_view created, int window, std::int64_t now,
                    TokenMemory& memory);

}  // namespace nvtd
