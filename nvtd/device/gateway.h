// GetNetworkDefaultGateway and SetNetworkDefaultGateway over the NETWORK "gateway" record.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_get_network_default_gateway(const Request& request, Reply& reply);  // plain
HandlerOutcome handle_set_network_default_gateway(const Request& request, Reply& reply);  // plain

}  // namespace nvtd
