// How the camera answers a datagram that reached the WS-Discovery group: plain text tests
// on the raw datagram decide between ProbeMatches, the matching-rule fault and silence.
#pragma once

#include <string>
#include <string_view>

namespace nvtd {

// RelatesTo of the answer to a datagram without a MessageID.
inline constexpr char kDefaultRelatesTo[] = "uuid:3b8e5a01-f2c4-4d97-a6e0-91bd27c4f85e";

enum class ProbeAnswer { kNone, kProbeMatches, kMatchingRuleFault };

struct ProbeDecision {
  ProbeAnswer answer = ProbeAnswer::kNone;
  std::string relates_to;  // the datagram's MessageID (at most 59 characters) or the default
};

// Decides the answer to one datagram (its text up to the first NUL byte counts).
// user_scope_match says whether a user scope occurs in a probe's Scopes text; the
// process-wide one is ScopeMatch.
ProbeDecision DecideProbe(std::string_view datagram,
                          int (*user_scope_match)(std::string_view scopes));

}  // namespace nvtd
