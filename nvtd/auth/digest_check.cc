// The Digest check: HA1 = H(user:realm:password), HA2 = H(method:uri), response =
// H(HA1:nonce:nc:cnonce:auth:HA2), the password deciphered from the users file; the
// response compared in constant time, the time an unknown user takes being that of a known one.
#include "nvtd/auth/digest_check.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <strings.h>

#include <cstring>
#include <initializer_list>
#include <optional>

#include "nvtd/auth/users_file.h"

namespace nvtd {
namespace {

std::string hex_hash(DigestAlgorithm algorithm, std::string_view text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  const EVP_MD* md = algorithm == DigestAlgorithm::kMd5 ? EVP_md5() : EVP_sha256();
  if (EVP_Digest(text.data(), text.size(), digest, &size, md, nullptr) != 1) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < size; ++i) {
    out.push_back(kHex[digest[i] >> 4]);
    out.push_back(kHex[digest[i] & 15]);
  }
  return out;
}

std::string joined(std::initializer_list<std::string_view> parts) {
  std::string out;
  bool first = true;
  for (std::string_view part : parts) {
    if (!first) out.push_back(':');
    out.append(part);
    first = false;
  }
  return out;
}

bool same_text(std::string_view a, const char* b) {
  return a.size() == std::strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

std::optional<DigestAlgorithm> algorithm_of(std::string_view name) {
  if (name.empty() || same_text(name, "MD5")) return DigestAlgorithm::kMd5;
  if (same_text(name, "SHA-256")) return DigestAlgorithm::kSha256;
  return std::nullopt;
}

// nc: exactly 8 hexadecimal digits, not all zero; in lower case, so that one count has one
// spelling in the nonce memory (the response is computed over the nc as sent).
std::optional<std::string> nonce_count(std::string_view nc) {
  if (nc.size() != 8) return std::nullopt;
  std::string out;
  for (char c : nc) {
    if (c >= 'A' && c <= 'F') c = char(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::nullopt;
    out.push_back(c);
  }
  if (out == "00000000") return std::nullopt;
  return out;
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

std::string digest_response(const DigestInput& in) {
  std::string ha1 = hex_hash(in.algorithm, joined({in.user, in.realm, in.password}));
  const std::string ha2 = hex_hash(in.algorithm, joined({in.method, in.uri}));
  std::string material = joined({ha1, in.nonce, in.nc, in.cnonce, "auth", ha2});
  std::string response = hex_hash(in.algorithm, material);
  OPENSSL_cleanse(ha1.data(), ha1.size());
  OPENSSL_cleanse(material.data(), material.size());
  return response;
}

DigestVerdict verify_digest(const DigestCredentials& c, std::string_view method,
                            std::string_view uri, const NonceKey& key, std::int64_t now,
                            DigestUse* use) {
  const std::optional<DigestAlgorithm> algorithm = algorithm_of(c.algorithm);
  const std::optional<std::string> nc = nonce_count(c.nc);
  // Only what the challenges offer: qop "auth", no user hash, the realm and this request.
  if (!algorithm || !nc || c.qop != "auth" || c.cnonce.empty() || c.realm != kDigestRealm ||
      c.uri != uri || !(c.userhash.empty() || same_text(c.userhash, "false")) ||
      c.username.empty() || c.username.size() > kMaxUserNameLength) {
    return DigestVerdict::kWrong;
  }
  const NonceCheck nonce = check_digest_nonce(key, c.nonce, now);
  if (nonce.state == NonceState::kForged) return DigestVerdict::kWrong;
  UsersLine line;
  const bool known = find_users_line(c.username, &line) == 1;
  std::optional<std::string> stored = known ? users_line_password(line) : std::nullopt;
  const std::string expected = digest_response({*algorithm, c.username, kDigestRealm,
                                                stored ? *stored : std::string(32, 'x'), method,
                                                c.uri, c.nonce, c.nc, c.cnonce});
  if (stored) OPENSSL_cleanse(stored->data(), stored->size());
  const std::string sent = lower(c.response);
  const bool right = !expected.empty() && sent.size() == expected.size() &&
                     CRYPTO_memcmp(sent.data(), expected.data(), expected.size()) == 0;
  if (!stored || !right) return DigestVerdict::kWrong;
  if (nonce.state == NonceState::kStale) return DigestVerdict::kStale;
  if (use != nullptr) *use = DigestUse{c.username, line.level, c.nonce, *nc, nonce.issued};
  return DigestVerdict::kPass;
}

}  // namespace nvtd
