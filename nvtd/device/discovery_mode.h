// GetDiscoveryMode and SetDiscoveryMode: whether the camera announces itself and answers
// probes (WS-Discovery), kept in memory and written to CAM "nvtd_discoverable".
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_get_discovery_mode(const Request& request, Reply& reply);  // plain
// Plain: "NonDiscoverable" stops discovery, "Discoverable" starts it; anything else
// changes nothing. The empty response in every case.
HandlerOutcome handle_set_discovery_mode(const Request& request, Reply& reply);

}  // namespace nvtd
