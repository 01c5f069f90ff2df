// One datagram's answer: decision first (cheap text tests), then the source's allowance,
// then the message, so an answer is counted against its source only when it would go out.
#include "nvtd/discovery/datagram_answer.h"

#include "nvtd/core/process_state.h"
#include "nvtd/discovery/probe_decision.h"
#include "nvtd/discovery/scopes.h"

namespace nvtd {

std::string AnswerDatagram(DiscoveryResponder& responder, std::string_view datagram,
                           uint32_t source, int64_t now_ms,
                           void (*refresh)(DiscoveryIdentity& identity)) {
  ProbeDecision decision =
      DecideProbe(datagram, CameraScopes(responder.identity.model), ScopeMatch);
  if (decision.answer == ProbeAnswer::kNone) return "";
  if (!responder.limiter.Allow(source, now_ms)) {
    trace("discovery: answer limit reached for a source\n");
    return "";
  }
  uint32_t random = static_cast<uint32_t>(responder.random());
  if (decision.answer == ProbeAnswer::kMatchingRuleFault) {
    return BuildMatchingRuleFault(random, responder.message_number++, decision.relates_to);
  }
  if (refresh != nullptr) refresh(responder.identity);
  return BuildProbeMatches(responder.identity, random, responder.message_number++,
                           decision.relates_to, ScopeString());
}

}  // namespace nvtd
