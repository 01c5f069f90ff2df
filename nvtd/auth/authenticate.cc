// The authentication step: which scheme the request uses, each one's check, the access
// check of each account, and the memory of what was used.
#include "nvtd/auth/authenticate.h"

#include <optional>
#include <string>

#include "nvtd/auth/access_policy.h"
#include "nvtd/auth/auth.h"
#include "nvtd/auth/digest_challenge.h"
#include "nvtd/auth/digest_check.h"
#include "nvtd/auth/token_memory.h"
#include "nvtd/core/log_limiter.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"

namespace nvtd {
namespace {

// A WS-Security header: a Security (or UsernameToken) element before the SOAP Body. Request
// bodies carry Username and Password of their own (CreateUsers), which are no credentials.
bool security_header_present(std::string_view body) {
  std::string_view head = body.substr(0, body.find("Body"));
  ElementSpan span;
  return find_element(head, "Security", &span) || find_element(head, "UsernameToken", &span);
}

// The Digest check with its answers: true with *use when the credentials hold, else false
// after 401.
bool check_digest(const DigestCredentials* credentials, const Request& request, Reply& reply,
                  std::string_view peer, DigestUse* use) {
  NonceKey key;
  DigestVerdict verdict = DigestVerdict::kWrong;
  if (credentials != nullptr && digest_nonce_key(&key)) {
    const std::string_view method = request.method ? *request.method : std::string_view();
    verdict = verify_digest(*credentials, method, request.uri_or_empty(), key,
                            wall_clock_ms() / 1000, use);
  }
  if (verdict == DigestVerdict::kPass) return true;
  const bool stale = verdict == DigestVerdict::kStale;
  trace_complaint(true, peer, stale ? "digest stale\n" : "digest fail\n");
  send_digest_challenge(reply, stale);
  return false;
}

bool level_may_call(std::string_view user, const std::string& level, const Operation* op,
                    Reply& reply) {
  if (op == nullptr || level_allows(level, op->access)) return true;
  trace_complaint(true, user, "level %s may not call %s\n", level.c_str(), op->name);
  send_catalogue_fault(reply, Fault::kNotAuthorized);
  return false;
}

// A (nonce, nc) is a token of its account that may not come again: remembered until its nonce
// expires. A refusal (a replay, a full memory) asks for a new nonce.
bool remember_digest(const DigestUse& use, std::string_view peer, Reply& reply) {
  // "d" and the count as the fraction keep these apart from UsernameTokens (digits only).
  const CreatedTime issued{use.issued, "d" + std::string(use.nc)};
  const TokenUse token{use.nonce, &issued, use.issued + kDigestNonceLifetime, use.user, peer, ""};
  if (token_counts(token, token_memory(), wall_clock_ms())) return true;
  send_digest_challenge(reply, true);
  return false;
}

}  // namespace

bool authenticate_request(const Request& request, const Operation* operation, Reply& reply) {
  const std::string_view peer = request.remote_addr ? *request.remote_addr : std::string_view();
  DigestCredentials credentials;
  DigestParse parse = DigestParse::kNotDigest;
  if (request.authorization)
    parse = parse_digest_authorization(*request.authorization, &credentials);
  const bool digest = parse != DigestParse::kNotDigest;
  const bool security = security_header_present(request.body);
  if (!digest && !security) {
    trace_complaint(true, peer, "no credentials supplied\n");
    send_digest_challenge(reply, false);
    return false;
  }
  // The HTTP level first, then the WS level.
  DigestUse use;
  if (digest && !check_digest(parse == DigestParse::kDigest ? &credentials : nullptr, request,
                              reply, peer, &use)) {
    return false;
  }
  const std::optional<VerifiedToken> token =
      security ? check_username_token(request.body, reply, peer) : std::nullopt;
  if (security && !token) return false;
  // A level that may not call the operation is refused before anything is remembered: only
  // served requests take places in the memory.
  if (digest && !level_may_call(use.user, use.level, operation, reply)) return false;
  if (token && !level_may_call(token->user, token->level, operation, reply)) return false;
  if (digest && !remember_digest(use, peer, reply)) return false;
  return !token || remember_token(*token, request, operation, reply);
}

}  // namespace nvtd
