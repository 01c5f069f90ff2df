// The UsernameToken check: Username, Password, Nonce and Created are read from the body, the
// user's password is recovered from the users file (read afresh for every request) and the
// SHA-1 digest over nonce, creation time and password is compared in constant time.
#include "nvtd/core/auth.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <array>
#include <string>

#include "nvtd/core/base64.h"
#include "nvtd/core/element_reader.h"
#include "nvtd/core/faults.h"
#include "nvtd/core/process_state.h"
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

AuthResult verify_username_token(std::string_view body) {
  // Buffer sizes of the request fields: longer values are cut to size - 1.
  auto username = element_text(body, "Username", 12);
  auto password = element_text(body, "Password", 48);
  if (!username || !password) return AuthResult::kNoCredentials;
  if (body.find("PasswordDigest") == std::string_view::npos) return AuthResult::kNoDigest;
  auto nonce = element_text(body, "Nonce", 48);
  auto created = element_text(body, "Created", 48);
  if (!nonce || !created) return AuthResult::kNoCredentials;

  UsersLine line;
  if (find_users_line(*username, &line) != 1) return AuthResult::kFailed;
  auto stored = users_line_password(line);
  if (!stored) return AuthResult::kFailed;

  std::string expected = password_digest(base64_decode(*nonce), *created, *stored);
  OPENSSL_cleanse(stored->data(), stored->size());
  if (expected.size() != password->size() ||
      CRYPTO_memcmp(expected.data(), password->data(), expected.size()) != 0) {
    return AuthResult::kFailed;
  }
  return AuthResult::kPass;
}

bool check_username_token(std::string_view body, Reply& reply) {
  switch (verify_username_token(body)) {
    case AuthResult::kPass:
      return true;
    case AuthResult::kNoCredentials:
      trace_verbose("no credentials supplied\n");
      send_catalogue_fault(reply, Fault::kNotAuthorized);
      return false;
    case AuthResult::kNoDigest:
      trace_verbose("auth fault\n");
      send_catalogue_fault(reply, Fault::kInvalidSecurity);
      return false;
    case AuthResult::kFailed:
      break;
  }
  trace_verbose("auth fail\n");
  send_catalogue_fault(reply, Fault::kFailedAuthentication);
  return false;
}

}  // namespace nvtd
