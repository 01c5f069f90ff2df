// Digest nonces made by the camera: the issue time, random bytes and a MAC over both under a
// key that every nvtd process of the camera shares, so a nonce from elsewhere, or altered, is
// refused, and an old one is known as stale.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace nvtd {

// Seconds a nonce serves from its issue; later it is stale (the client is asked for a new
// round with stale=true).
inline constexpr int kDigestNonceLifetime = 300;

using NonceKey = std::array<unsigned char, 32>;

// The nonce key: derived from the secret of the token memory (in the process, or in the file
// that CGI processes share). False when the memory cannot be had.
bool digest_nonce_key(NonceKey* key);

// A new nonce issued at now (seconds since the epoch): 36 Base64 characters.
std::string make_digest_nonce(const NonceKey& key, std::int64_t now);

enum class NonceState {
  kFresh,
  kStale,   // made here, but more than kDigestNonceLifetime ago (or in the future)
  kForged,  // not made with this key, or not a nonce at all
};

struct NonceCheck {
  NonceState state;
  std::int64_t issued;  // seconds since the epoch (0 unless made here)
};

NonceCheck check_digest_nonce(const NonceKey& key, std::string_view nonce, std::int64_t now);

}  // namespace nvtd
