// GetHostname (an open operation, with a settings client of its own) and SetHostname
// with the host-name rule.
#pragma once

#include <string>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// Not empty; first character a letter or digit; further characters letters, digits or
// "-"; last character not "-" (letters and digits of the C locale).
bool hostname_acceptable(const std::string& name);

// The GetHostname envelope for a host name, as it is (not escaped).
std::string hostname_envelope(const char* name);

// Plain, answered before authentication: the NETWORK "hostname" in a complete envelope.
HandlerOutcome handle_get_hostname(const Request& request, Reply& reply);
// Plain: writes an acceptable "Name"; a missing or refused one gets the InvalidHostname
// fault.
HandlerOutcome handle_set_hostname(const Request& request, Reply& reply);

}  // namespace nvtd
