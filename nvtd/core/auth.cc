// The UsernameToken check: Username, Password, Nonce and Created are read from the body, the
// user's password is recovered from the users file (read afresh for every request), the
// SHA-1 digest over nonce, creation time and password is compared in constant time, and the
// token must be fresh and not seen before.
#include "nvtd/core/auth.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

#include "nvtd/core/base64.h"
#include "nvtd/core/element_reader.h"
#include "nvtd/core/faults.h"
#include "nvtd/core/process_state.h"
#include "nvtd/core/token_memory.h"
#include "nvtd/core/users_file.h"

namespace nvtd {

std::string password_digest(std::string_view nonce_bytes, std::string_view created,
                            std::string_view password) {
  std::string material;
  material.reserve(nonce_bytes.size() + created.size() + password.size());
  material.append(nonce_bytes).append(created).append(password);
  std::array<unsigned char, SHA_DIGEST_LENGTH> digest;
  SHA1(reinterpret_cast<const unsigned char*>(material.data()), material.size(), digest.data());
  OPENSSL_cleanse(material.data(), material.size());
  return base64_encode(
      std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
}

AuthResult verify_username_token(std::string_view body, std::string* level) {
  // Buffer sizes of the request fields: longer values are cut to size - 1.
  auto username = element_text(body, "Username", 12);
  auto password = element_text(body, "Password", 48);
  if (!username || !password) return AuthResult::kNoCredentials;
  if (body.find("PasswordDigest") == std::string_view::npos) return AuthResult::kNoDigest;
  auto nonce = element_text(body, "Nonce", 48);
  auto created = element_text(body, "Created", 48);
  if (!nonce || !created) return AuthResult::kNoCredentials;

  // An unknown user costs a digest like a known one, so the time tells nothing apart.
  UsersLine line;
  bool known = find_users_line(*username, &line) == 1;
  std::optional<std::string> stored = known ? users_line_password(line) : std::nullopt;
  std::string expected =
      password_digest(base64_decode(*nonce), *created, stored ? *stored : std::string(32, 'x'));
  if (stored) OPENSSL_cleanse(stored->data(), stored->size());
  bool digest_right = expected.size() == password->size() &&
                      CRYPTO_memcmp(expected.data(), password->data(), expected.size()) == 0;
  if (!stored || !digest_right) return AuthResult::kFailed;
  // Only a token that proves the password takes a place among the remembered ones.
  if (!token_is_fresh(*nonce, *created, TokenWindow, std::int64_t(std::time(nullptr)),
                      token_memory())) {
    return AuthResult::kFailed;
  }
  if (level != nullptr) *level = line.level;
  return AuthResult::kPass;
}

std::optional<std::string> check_username_token(std::string_view body, Reply& reply) {
  std::string level;
  switch (verify_username_token(body, &level)) {
    case AuthResult::kPass:
      return level;
    case AuthResult::kNoCredentials:
      trace_verbose("no credentials supplied\n");
      send_catalogue_fault(reply, Fault::kNotAuthorized);
      return std::nullopt;
    case AuthResult::kNoDigest:
      trace_verbose("auth fault\n");
      send_catalogue_fault(reply, Fault::kInvalidSecurity);
      return std::nullopt;
    case AuthResult::kFailed:
      break;
  }
  trace_verbose("auth fail\n");
  send_catalogue_fault(reply, Fault::kFailedAuthentication);
  return std::nullopt;
}

}  // namespace nvtd
