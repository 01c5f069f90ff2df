// GetNetworkProtocols and SetNetworkProtocols: the HTTP and RTSP switches and ports kept
// in memory and reported to clients (no server is changed by them).
#pragma once

#include <string>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_get_network_protocols(const Request& request, Reply& reply);  // plain
// Body part: the first Name, Enabled and Port of the request.
HandlerOutcome handle_set_network_protocols(const Request& request, Reply& reply);

// The decimal value of a Port text as strtoll reads it (0 without digits), kept within
// the 32-bit range.
int port_value(const std::string& text);

}  // namespace nvtd
