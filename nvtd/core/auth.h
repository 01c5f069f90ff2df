// WS-Security UsernameToken check: the request must carry a password digest that proves
// knowledge of the password of an account in the users file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "nvtd/core/reply.h"

namespace nvtd {

// Outcome of the check, in the order its steps are taken.
enum class AuthResult {
  kPass,
  kNoCredentials,  // Username/Password or Nonce/Created missing: ter:NotAuthorized
  kNoDigest,       // no "PasswordDigest" in the body: wsse:InvalidSecurity
  kFailed,         // no users file, unknown user, wrong digest, a stale, malformed or
                   // replayed token: wsse:FailedAuthentication
};

// The check itself, over the whole request body, with TokenWindow and the process's token
// memory; writes nothing. On kPass *level is the account's level from the users file.
AuthResult verify_username_token(std::string_view body, std::string* level = nullptr);

// The check as the dispatcher runs it: on failure writes the fault response and returns
// nullopt; on success the account's level.
std::optional<std::string> check_username_token(std::string_view body, Reply& reply);

// Base64(SHA-1(nonce bytes + created + password)), as a client computes it.
std::string password_digest(std::string_view nonce_bytes, std::string_view created,
                            std::string_view password);

}  // namespace nvtd
