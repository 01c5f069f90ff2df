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

struct DigestCredentials {
  std::string username;
  std::string realm;
  std::string nonce;
  std::string uri;
  std::string response;
  std::string algorithm;  // "" when not sent (MD5 then)
  std::string qop;
  std::string nc;
  std::string cnonce;
  std::string userhash;  // "" when not sent
};

enum class DigestParse {
  kDigest,     // *credentials hold the parameters; username, realm, nonce, uri and response
               // are all present
  kNotDigest,  // no value, or another scheme (Basic...)
  kMalformed,  // a Digest value that breaks the syntax, a bound, or lacks a required parameter
};

DigestParse parse_digest_authorization(std::string_view value, DigestCredentials* credentials);

}  // namespace nvtd
