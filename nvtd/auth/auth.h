// WS-Security UsernameToken check: the request must carry a password digest that proves
// knowledge of the password of an account in the users file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "nvtd/auth/created_time.h"
#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// Outcome of the check, in the order its steps are taken.
enum class AuthResult {
  kPass,
  kNoCredentials,  // Username/Password or Nonce/Created missing: ter:NotAuthorized
  kNoDigest,       // no "PasswordDigest" in the body: wsse:InvalidSecurity
  kFailed,         // no users file, unknown user, wrong digest, a stale or malformed token
                   // (an empty Nonce too): wsse:FailedAuthentication (as is a replay, found
                   // later)
};

// A token whose digest is right and whose Created is fresh: what the token memory needs.
struct VerifiedToken {
  std::string user;   // as compared with the users file (its first 11 characters)
  std::string level;  // the account's level from the users file
  std::string nonce;  // the decoded nonce bytes
  CreatedTime created;
};

// The check itself, over the whole request body, with the token window; remembers nothing. The
// nonce must be canonical Base64 of at least one byte and Created an xs:dateTime within the
// window (any text with window 0). On kPass *token describes it.
AuthResult verify_username_token(std::string_view body, VerifiedToken* token = nullptr);

// The check as the dispatcher runs it: on failure writes the fault response, traces the
// refusal (with --verbose, at most once a second for each client address) and returns
// nullopt; on success the verified token.
std::optional<VerifiedToken> check_username_token(std::string_view body, Reply& reply,
                                                  std::string_view peer = {});

// Remembers a verified token of a request that passed the access check, for its account, with
// the client's address and the operation (null when none is known). The same token passes
// again only for an operation that changes nothing (a READ class), of the class of its first
// use, from the same address within kTokenRepeatMs: clients such as onvif-util send one token
// on several reading requests at once. Operations that change something, and unknown ones,
// need a token of their own. On a replay (or a token the memory cannot take) writes the
// FailedAuthentication fault and returns false. With a token window of 0 nothing is remembered and
// every token passes.
bool remember_token(const VerifiedToken& token, const Request& request, const Operation* operation,
                    Reply& reply);

// Base64(SHA-1(nonce bytes + created + password)), as a client computes it.
std::string password_digest(std::string_view nonce_bytes, std::string_view created,
                            std::string_view password);

}  // namespace nvtd
