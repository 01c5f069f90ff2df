// The Digest check: HA1 = H(user:realm:password), HA2 = H(method:uri), response =
// H(HA1:nonce:nc:cnonce:auth:HA2), the password deciphered from the users file; the response
// (lower-case hexadecimal, as RFC 7616 writes it) compared in constant time, the time an unknown
// user takes being that of a known one.
#include "nvtd/auth/digest_check.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <strings.h>

#include <cstring>
#include <initializer_list>
#include <optional>

#include "nvtd/auth/hmac_sha256.h"
#include "nvtd/auth/users_file.h"

namespace nvtd {
namespace {

// H(parts joined by ":") in lower-case hexadecimal; "" when the library fails.
std::string hex_hash(DigestAlgorithm algorithm, std::initializer_list<std::string_view> parts) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  bool ok = context != nullptr &&
            EVP_DigestInit_ex(context,
                              algorithm == DigestAlgorithm::kMd5 ? md5_digest() : sha256_digest(),
                              nullptr) == 1;
  const char* separator = "";
  for (std::string_view part : parts) {
    ok = ok && EVP_DigestUpdate(context, separator, std::strlen(separator)) == 1 &&
         EVP_DigestUpdate(context, part.data(), part.size()) == 1;
    separator = ":";
  }
  ok = ok && EVP_DigestFinal_ex(context, digest, &size) == 1;
  EVP_MD_CTX_free(context);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; ok && i < size; ++i) {
    out.push_back(kHex[digest[i] >> 4]);
    out.push_back(kHex[digest[i] & 15]);
  }
  return out;
}

bool same_text(std::string_view a, const char* b) {
  return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

// nc: exactly 8 hexadecimal digits, not all zero.
bool nonce_count(std::string_view nc) {
  return nc.size() == 8 &&
         nc.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos &&
         nc.find_first_not_of('0') != std::string_view::npos;
}

}  // namespace

std::string digest_response(const DigestInput& in) {
  std::string ha1 = hex_hash(in.algorithm, {in.user, in.realm, in.password});
  std::string response = hex_hash(in.algorithm, {ha1, in.nonce, in.nc, in.cnonce, "auth",
                                                 hex_hash(in.algorithm, {in.method, in.uri})});
  OPENSSL_cleanse(ha1.data(), ha1.size());
  return response;
}

DigestVerdict verify_digest(const DigestCredentials& c, std::string_view method,
                            std::string_view uri, const NonceKey& key, std::int64_t now,
                            DigestUse* use) {
  const bool md5 = c.algorithm.empty() || same_text(c.algorithm, "MD5");
  // Only what the challenges offer: qop "auth", no user hash, the realm and this request.
  if (!(md5 || same_text(c.algorithm, "SHA-256")) || !nonce_count(c.nc) || c.qop != "auth" ||
      c.cnonce.empty() || c.realm != kDigestRealm || c.uri != uri ||
      !(c.userhash.empty() || same_text(c.userhash, "false")) || c.username.empty() ||
      c.username.size() > kMaxUserNameLength) {
    return DigestVerdict::kWrong;
  }
  const NonceCheck nonce = check_digest_nonce(key, c.nonce, now);
  if (nonce.state == NonceState::kForged) return DigestVerdict::kWrong;
  UsersLine line;
  const bool known = find_users_line(std::string(c.username), &line) == 1;
  std::optional<std::string> stored = known ? users_line_password(line) : std::nullopt;
  // An unknown user costs a digest over a stand-in password, like a known one.
  const std::string_view password =
      stored ? std::string_view(*stored) : std::string_view("unknown-user-stand-in-password!");
  const std::string expected =
      digest_response({md5 ? DigestAlgorithm::kMd5 : DigestAlgorithm::kSha256, c.username,
                       kDigestRealm, password, method, c.uri, c.nonce, c.nc, c.cnonce});
  if (stored) OPENSSL_cleanse(stored->data(), stored->size());
  const bool right = !expected.empty() && c.response.size() == expected.size() &&
                     CRYPTO_memcmp(c.response.data(), expected.data(), expected.size()) == 0;
  if (!stored || !right) return DigestVerdict::kWrong;
  if (nonce.state == NonceState::kStale) return DigestVerdict::kStale;
  if (use != nullptr) *use = DigestUse{c.username, line.level, c.nonce, c.nc, nonce.issued};
  return DigestVerdict::kPass;
}

}  // namespace nvtd
