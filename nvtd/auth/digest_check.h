// HTTP Digest check (RFC 7616, qop "auth", MD5 or SHA-256): the credentials must name the
// camera's realm, a nonce the camera made, the request's own URI, and carry the response
// computed from the password of an account in the users file (read afresh, so accounts
// made or changed through CreateUsers and SetUser count at once).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "nvtd/auth/digest_header.h"
#include "nvtd/auth/digest_nonce.h"

namespace nvtd {

// The realm of every challenge: HA1 is computed over it.
inline constexpr char kDigestRealm[] = "ONVIF camera";

enum class DigestAlgorithm { kMd5, kSha256 };

enum class DigestVerdict {
  kPass,
  kWrong,  // anything else: malformed or unsupported parameters, another realm or URI, a
           // forged nonce, an unknown user, a wrong response
  kStale,  // the response is right but the nonce has outlived kDigestNonceLifetime
};

// What a passing check yields: the account and what the nonce memory keeps (views into the
// credentials).
struct DigestUse {
  std::string_view user;
  std::string level;
  std::string_view nonce;  // as sent (canonical Base64)
  std::string_view nc;     // 8 hexadecimal digits, as sent (the response covers the spelling)
  std::int64_t issued = 0;
};

DigestVerdict verify_digest(const DigestCredentials& credentials, std::string_view method,
                            std::string_view uri, const NonceKey& key, std::int64_t now,
                            DigestUse* use);

// The response a client computes for qop "auth", in lower-case hexadecimal (the response is
// compared as that).
struct DigestInput {
  DigestAlgorithm algorithm;
  std::string_view user, realm, password, method, uri, nonce, nc, cnonce;
};
std::string digest_response(const DigestInput& in);

}  // namespace nvtd
