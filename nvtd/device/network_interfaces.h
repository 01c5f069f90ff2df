// GetNetworkInterfaces and SetNetworkInterfaces: the one interface "eth0", its address,
// prefix length and DHCP state, read from and written to the NETWORK section.
#pragma once

#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// Plain: the interface as the cached NETWORK section describes it.
int handle_get_net_if(const Request& request, Reply& reply);
// Body part: replies first, then switches to DHCP or writes the static record; then a
// Hello is queued and the event service re-reads the address.
int handle_set_network_interfaces(const Request& request, Reply& reply);

}  // namespace nvtd
