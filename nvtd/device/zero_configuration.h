// GetZeroConfiguration: a fixed answer (zero configuration is off on "eth0").
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_get_zero_configuration(const Request& request, Reply& reply);  // plain

}  // namespace nvtd
