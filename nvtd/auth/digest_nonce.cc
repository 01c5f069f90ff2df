// Nonce layout: 4 bytes of issue time (big-endian seconds), 7 random bytes, and the first 16
// bytes of HMAC-SHA-256 over those 11 under the nonce key, all in canonical Base64.
#include "nvtd/auth/digest_nonce.h"

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <optional>

#include "nvtd/auth/base64.h"
#include "nvtd/auth/hmac_sha256.h"
#include "nvtd/auth/token_memory.h"

namespace nvtd {
namespace {

constexpr std::size_t kStampSize = 11;
constexpr std::size_t kMacSize = 16;
constexpr std::size_t kNonceBytes = kStampSize + kMacSize;

Sha256Mac mac_of(const NonceKey& key, const unsigned char* stamp) {
  return hmac_sha256(key.data(), key.size(),
                     std::string_view(reinterpret_cast<const char*>(stamp), kStampSize));
}

// The last nonce that proved to be made here, with the key it was checked under: a client
// answers one nonce many times, and its MAC need not be computed again each time. (Nonces are
// no secret: the comparison with it may take any time.)
struct ProvenNonce {
  NonceKey key{};
  std::string nonce;
  std::int64_t issued = 0;
};

ProvenNonce& last_proven() {
  static ProvenNonce proven;
  return proven;
}

// The issue time of a nonce made under key; nullopt for any other text.
std::optional<std::int64_t> issue_time(const NonceKey& key, std::string_view nonce) {
  ProvenNonce& proven = last_proven();
  if (!proven.nonce.empty() && nonce == proven.nonce &&
      CRYPTO_memcmp(key.data(), proven.key.data(), key.size()) == 0) {
    return proven.issued;
  }
  std::optional<std::string> bytes = base64_decode_strict(nonce);
  if (!bytes || bytes->size() != kNonceBytes) return std::nullopt;
  const auto* raw = reinterpret_cast<const unsigned char*>(bytes->data());
  const auto mac = mac_of(key, raw);
  if (CRYPTO_memcmp(mac.data(), raw + kStampSize, kMacSize) != 0) return std::nullopt;
  const std::int64_t issued =
      std::int64_t(std::uint32_t(raw[0]) << 24 | std::uint32_t(raw[1]) << 16 |
                   std::uint32_t(raw[2]) << 8 | std::uint32_t(raw[3]));
  proven = ProvenNonce{key, std::string(nonce), issued};
  return issued;
}

}  // namespace

bool digest_nonce_key(NonceKey* key) {
  return token_memory().derive_key("digest nonce", key->data());
}

std::string make_digest_nonce(const NonceKey& key, std::int64_t now) {
  unsigned char bytes[kNonceBytes] = {};
  const auto t = std::uint32_t(now);
  bytes[0] = static_cast<unsigned char>(t >> 24);
  bytes[1] = static_cast<unsigned char>(t >> 16);
  bytes[2] = static_cast<unsigned char>(t >> 8);
  bytes[3] = static_cast<unsigned char>(t);
  // Two clients served in the same second get different nonces; without random bytes they
  // would still differ in their MAC only if the time did.
  if (RAND_bytes(bytes + 4, int(kStampSize - 4)) != 1) return std::string();
  const auto mac = mac_of(key, bytes);
  std::copy(mac.begin(), mac.begin() + kMacSize, bytes + kStampSize);
  return base64_encode(std::string_view(reinterpret_cast<const char*>(bytes), kNonceBytes));
}

NonceCheck check_digest_nonce(const NonceKey& key, std::string_view nonce, std::int64_t now) {
  const std::optional<std::int64_t> issued = issue_time(key, nonce);
  if (!issued) return {NonceState::kForged, 0};
  const bool fresh = *issued <= now && now - *issued <= kDigestNonceLifetime;
  return {fresh ? NonceState::kFresh : NonceState::kStale, *issued};
}

}  // namespace nvtd
