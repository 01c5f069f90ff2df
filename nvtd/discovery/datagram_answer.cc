// One datagram's answer: decision first, then the source's allowance (charged for every
// probe that would be answered), then the message, counted against the budget of all sources
// (its size known) and numbered only when it goes out.
#include "nvtd/discovery/datagram_answer.h"

#include "nvtd/core/process_state.h"
#include "nvtd/discovery/probe_decision.h"
#include "nvtd/discovery/scopes.h"

namespace nvtd {

std::string answer_datagram(DiscoveryResponder& responder, std::string_view datagram,
                            uint32_t source, int64_t now_ms,
                            void (*refresh)(DiscoveryIdentity& identity)) {
  ProbeDecision decision =
      decide_probe(datagram, camera_scopes(responder.identity.model), scope_match);
  if (decision.answer == ProbeAnswer::kNone) return "";
  if (!responder.limiter.Allow(source, now_ms)) {
    trace_verbose("discovery: answer limit reached for a source\n");
    return "";
  }
  uint32_t random = static_cast<uint32_t>(responder.random());
  std::string answer;
  if (decision.answer == ProbeAnswer::kMatchingRuleFault) {
    answer = build_matching_rule_fault(random, responder.message_number, decision.relates_to);
  } else {
    if (refresh != nullptr) refresh(responder.identity);
    answer = build_probe_matches(responder.identity, random, responder.message_number,
                                 decision.relates_to, announced_scopes());
  }
  if (!responder.budget.Allow(answer.size(), now_ms)) {
    trace_verbose("discovery: answer budget of all sources reached\n");
    return "";
  }
  ++responder.message_number;
  return answer;
}

}  // namespace nvtd
