// The UsernameToken check: Username, Password, Nonce and Created are read from the body, the
// user's password is recovered from the users file (read afresh for every request), the
// SHA-1 digest over nonce, creation time and password is compared in constant time, and the
// token must be fresh; once its request has passed the access check it must not have been
// seen before.
#include "nvtd/auth/auth.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

#include "nvtd/auth/access_policy.h"
#include "nvtd/auth/base64.h"
#include "nvtd/auth/token_memory.h"
#include "nvtd/auth/users_file.h"
#include "nvtd/core/log_limiter.h"
#include "nvtd/core/process_state.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"

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

namespace {

void send_failed(Reply& reply, std::string_view peer) {
  trace_complaint(true, peer, "auth fail\n");
  send_catalogue_fault(reply, Fault::kFailedAuthentication);
}

}  // namespace

AuthResult verify_username_token(std::string_view body, VerifiedToken* token) {
  // Buffer sizes of the request fields: longer values are cut to size - 1.
  auto username = element_text(body, "Username", 12);
  auto password = element_text(body, "Password", 48);
  if (!username || !password) return AuthResult::kNoCredentials;
  if (body.find("PasswordDigest") == std::string_view::npos) return AuthResult::kNoDigest;
  auto nonce = element_text(body, "Nonce", 48);
  auto created = element_text(body, "Created", 48);
  if (!nonce || !created) return AuthResult::kNoCredentials;

  // One spelling of the nonce only, so that one token cannot be sent again as another.
  std::optional<std::string> nonce_bytes = base64_decode_strict(*nonce);
  // An unknown user costs a digest like a known one, so the time tells nothing apart.
  UsersLine line;
  bool known = find_users_line(*username, &line) == 1;
  std::optional<std::string> stored = known ? users_line_password(line) : std::nullopt;
  std::string expected =
      password_digest(nonce_bytes.value_or(""), *created, stored ? *stored : std::string(32, 'x'));
  if (stored) OPENSSL_cleanse(stored->data(), stored->size());
  bool digest_right = expected.size() == password->size() &&
                      CRYPTO_memcmp(expected.data(), password->data(), expected.size()) == 0;
  // An empty nonce would make the token its Created alone.
  if (!stored || !digest_right || !nonce_bytes || nonce_bytes->empty()) {
    return AuthResult::kFailed;
  }
  std::optional<CreatedTime> at = parse_created(*created);
  if (config().token_window > 0 &&
      (!at || !created_in_window(*at, config().token_window, std::int64_t(std::time(nullptr))))) {
    return AuthResult::kFailed;
  }
  if (token != nullptr) {
    *token = VerifiedToken{*username, line.level, std::move(*nonce_bytes),
                           at.value_or(CreatedTime{0, ""})};
  }
  return AuthResult::kPass;
}

std::optional<VerifiedToken> check_username_token(std::string_view body, Reply& reply,
                                                  std::string_view peer) {
  VerifiedToken token;
  switch (verify_username_token(body, &token)) {
    case AuthResult::kPass:
      return token;
    case AuthResult::kNoCredentials:
      trace_complaint(true, peer, "no credentials supplied\n");
      send_catalogue_fault(reply, Fault::kNotAuthorized);
      return std::nullopt;
    case AuthResult::kNoDigest:
      trace_complaint(true, peer, "auth fault\n");
      send_catalogue_fault(reply, Fault::kInvalidSecurity);
      return std::nullopt;
    case AuthResult::kFailed:
      break;
  }
  send_failed(reply, peer);
  return std::nullopt;
}

bool remember_token(const VerifiedToken& token, const Request& request, const Operation* operation,
                    Reply& reply) {
  if (config().token_window <= 0) return true;
  std::string_view peer;
  if (request.remote_addr) peer = *request.remote_addr;
  // Unknown operations (answered with a fault) need a token of their own.
  std::string_view repeat_scope;
  if (operation != nullptr) repeat_scope = read_class_name(operation->access);
  const TokenUse use{token.nonce, &token.created, token.created.seconds + config().token_window,
                     token.user,  peer,           repeat_scope};
  if (token_counts(use, token_memory(), wall_clock_ms())) return true;
  send_failed(reply, peer);
  return false;
}

}  // namespace nvtd
