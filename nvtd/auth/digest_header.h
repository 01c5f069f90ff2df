// The Digest credentials of an HTTP Authorization value (RFC 7616), read without trusting the
// client: a bounded value, each parameter a token or a quoted string of bounded length, known
// parameters at most once; parameters nvtd does not use are passed over.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nvtd {

// Longer Authorization values are not read at all.
inline constexpr std::size_t kMaxAuthorizationLength = 1024;
// Longer parameter values make the credentials malformed.
inline constexpr std::size_t kMaxDigestParameter = 256;

// The parameters as views into storage (or, in tests, into any text that outlives them): not
// to be copied or moved once parsed.
struct DigestCredentials {
  DigestCredentials() = default;
  DigestCredentials(const DigestCredentials&) = delete;
  DigestCredentials& operator=(const DigestCredentials&) = delete;

  std::string_view username;
  std::string_view realm;
  std::string_view nonce;
  std::string_view uri;
  std::string_view response;
  std::string_view algorithm;  // "" when not sent (MD5 then)
  std::string_view qop;
  std::string_view nc;
  std::string_view cnonce;
  std::string_view userhash;  // "" when not sent
  std::string storage;        // the values, unescaped, one after the other
};

enum class DigestParse {
  kDigest,     // *credentials hold the parameters; username, realm, nonce, uri and response
               // are all present (otherwise *credentials holds whatever was read)
  kNotDigest,  // no value, or another scheme (Basic...)
  kMalformed,  // a Digest value that breaks the syntax, a bound, or lacks a required parameter
};

DigestParse parse_digest_authorization(std::string_view value, DigestCredentials* credentials);

}  // namespace nvtd
