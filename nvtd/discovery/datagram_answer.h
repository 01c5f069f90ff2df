// The answer to one datagram received on the WS-Discovery port: what decide_probe says, limited
// per source address and by the budget across all sources, built from the camera's identity
// and scope set. No sockets here, so the
// same function serves the discovery thread, the tests and the fuzzer.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "nvtd/discovery/answer_budget.h"
#include "nvtd/discovery/discovery_messages.h"
#include "nvtd/discovery/source_limiter.h"

namespace nvtd {

// The answering side's state, owned by the discovery thread.
struct DiscoveryResponder {
  DiscoveryIdentity identity;
  SourceLimiter limiter;
  AnswerBudget budget;         // across all sources
  int32_t message_number = 1;  // shared with the Hellos
  std::minstd_rand random;
};

// The datagram to send back to source (an IPv4 address) for datagram received at now_ms (a
// monotonic clock), or "" for none: non-Probes, probes the decision leaves unanswered and
// answers beyond the source's limit or the budget get nothing. refresh, when given, runs before a
// ProbeMatches is built, to bring the identity's address and port up to date.
std::string answer_datagram(DiscoveryResponder& responder, std::string_view datagram,
                            uint32_t source, int64_t now_ms,
                            void (*refresh)(DiscoveryIdentity& identity));

}  // namespace nvtd
