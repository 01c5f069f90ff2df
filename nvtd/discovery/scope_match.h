// Scope matching under the WS-Discovery default rule (RFC 3986 prefix match): a probe's
// scope matches a camera scope when scheme and authority agree in any letter case and its
// path segments, compared whole, are a prefix of the camera scope's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "nvtd/soap/envelope.h"

namespace nvtd {

// The MatchBy values that name this rule (an absent MatchBy names it too).
inline constexpr char kMatchByRfc2396[] = NS_WSD "/rfc2396";
inline constexpr char kMatchByRfc3986[] = NS_WSD11 "/rfc3986";

// True when probe_scope matches camera_scope. Query and fragment are not compared; empty
// segments (a leading, doubled or trailing "/") are passed over; "%XX" escapes are decoded
// before segments are compared; a scope without a scheme, or with a "." or ".." segment,
// matches nothing.
bool rfc3986_scope_match(std::string_view probe_scope, std::string_view camera_scope);

// True when probe_scopes (a white-space separated list) names at least one scope and each
// of them matches one of camera_scopes.
bool every_scope_matches(std::string_view probe_scopes,
                         const std::vector<std::string>& camera_scopes);

}  // namespace nvtd
