// GetNTP and SetNTP: fixed answers (the camera takes no NTP settings).
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// GetNTP, plain: not from DHCP.
HandlerOutcome handle_get_ntp(const Request& request, Reply& reply);
// SetNTP, plain: an empty response in a complete envelope; nothing changes.
HandlerOutcome handle_set_ntp(const Request& request, Reply& reply);

}  // namespace nvtd
