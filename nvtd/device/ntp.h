// GetNTP and SetNTP: fixed answers (the camera takes no NTP settings).
#pragma once

#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

int handle_get_ntp(const Request& request, Reply& reply);  // plain: not from DHCP
int handle_set_ntp(
    const Request& request,
    Reply& reply);  // plain: an empty response in a complete envelope; nothing changes

}  // namespace nvtd
