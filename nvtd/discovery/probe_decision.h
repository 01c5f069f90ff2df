// How the camera answers a datagram that reached the WS-Discovery group: only a Probe (a
// well-formed SOAP envelope whose Body is a WS-Discovery Probe) is answered; plain text tests
// on the raw datagram and the RFC 3986 scope rule decide between ProbeMatches, the
// matching-rule fault and silence.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nvtd {

// RelatesTo of the answer to a datagram without a MessageID.
inline constexpr char kDefaultRelatesTo[] = "uuid:3b8e5a01-f2c4-4d97-a6e0-91bd27c4f85e";

enum class ProbeAnswer { kNone, kProbeMatches, kMatchingRuleFault };

struct ProbeDecision {
  ProbeAnswer answer = ProbeAnswer::kNone;
  std::string relates_to;  // the datagram's MessageID (at most 59 characters) or the default
};

// Decides the answer to one datagram (its text up to the first NUL byte counts).
// camera_scopes is the camera's scope set (camera_scopes()); a probe whose Scopes use the
// default matching rule is answered when each of them matches one of these. The older text
// tests come first and answer what they answer; user_scope_match says whether a user scope
// occurs in a probe's Scopes text (the process-wide one is scope_match).
ProbeDecision decide_probe(std::string_view datagram, const std::vector<std::string>& camera_scopes,
                           int (*user_scope_match)(std::string_view scopes));

}  // namespace nvtd
