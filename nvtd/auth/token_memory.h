// Fresh UsernameTokens only: a Created time near the camera's clock, and each token (its
// account, nonce bytes and the instant of its Created) accepted once while it is fresh.
// Accepted tokens are remembered in a TokenTable, in the process or, for CGI programs that
// live one request, in a locked file; the log turns of the refusals live beside them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "nvtd/auth/created_time.h"
#include "nvtd/auth/token_table.h"
#include "nvtd/core/log_limiter.h"

namespace nvtd {

inline constexpr int kDefaultTokenWindow = 300;  // seconds either side of the camera's clock
inline constexpr char kTokenFileDirectory[] = "/run/nvtd";
inline constexpr char kTokenFileName[] = "tokens";

class TokenMemory {
 public:
  virtual ~TokenMemory() = default;
  virtual TokenAdmission admit(const TokenUse& use, std::int64_t now_ms) = 0;
  // Whether a refusal about subject may be logged now: at most once a second for each, in
  // every process that shares the memory (in this process alone when it is unavailable).
  virtual LogTurn log_turn(std::string_view subject, std::int64_t now_ms) = 0;
  // 32 bytes of a key derived from the memory's secret (TokenTable::derive_key); false when
  // the memory cannot be had.
  virtual bool derive_key(std::string_view label, unsigned char* out) = 0;
};

// The table in this process (server and relay modes), from zeroed pages that become resident
// only as tokens are written to them (a pass over untouched ones reads the kernel's zero
// page). Without memory every token is refused as unavailable.
class ProcessTokenMemory : public TokenMemory {
 public:
  explicit ProcessTokenMemory(std::size_t groups = kTokenGroups);
  TokenAdmission admit(const TokenUse& use, std::int64_t now_ms) override;
  LogTurn log_turn(std::string_view subject, std::int64_t now_ms) override;
  bool derive_key(std::string_view label, unsigned char* out) override;

 private:
  struct Free {
    void operator()(void* block) const { std::free(block); }
  };
  std::unique_ptr<void, Free> block_;
  std::size_t groups_;
  // The last key derived, and its label: the table's secret never changes in the process.
  std::string derived_label_;
  std::array<unsigned char, 32> derived_{};
  bool derived_ok_ = false;
};

// The table in a file of fixed size that every CGI process opens under an exclusive flock.
// The directory is made root-only (0700, owned by this user) and neither it nor the file is
// used when another user could have made or changed them; then every token is refused as
// unavailable. A file of another size or layout is made afresh.
class FileTokenMemory : public TokenMemory {
 public:
  FileTokenMemory(std::string directory, std::string name, std::size_t groups = kTokenGroups)
      : directory_(std::move(directory)), name_(std::move(name)), groups_(groups) {}
  TokenAdmission admit(const TokenUse& use, std::int64_t now_ms) override;
  LogTurn log_turn(std::string_view subject, std::int64_t now_ms) override;
  bool derive_key(std::string_view label, unsigned char* out) override;

 private:
  std::string directory_;
  std::string name_;
  std::size_t groups_;
};

// The token memory of this process: ProcessTokenMemory unless set otherwise at start-up.
TokenMemory& token_memory();
void set_token_memory(std::unique_ptr<TokenMemory> memory);

// Whether Created lies within window seconds of now (seconds since the epoch).
bool created_in_window(const CreatedTime& created, int window, std::int64_t now);

// Whether a token whose digest is right and whose request may be served passes the memory:
// admitted or an allowed repeat. Logs the refusals of a full or an unavailable memory, at
// most once a second for each account.
bool token_counts(const TokenUse& use, TokenMemory& memory, std::int64_t now_ms);

// The wall clock in milliseconds since the epoch.
std::int64_t wall_clock_ms();

}  // namespace nvtd
