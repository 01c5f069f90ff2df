// GetNetworkInterfaces and SetNetworkInterfaces: the one interface "eth0", its address,
// prefix length and DHCP state, read from and written to the NETWORK section.
#pragma once

#include <string>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// What GetNetworkInterfaces reports of eth0.
struct InterfaceReport {
  std::string hw_address;  // "AA:BB:CC:DD:EE:FF"
  std::string address;
  int prefix_length = 0;
  bool dhcp = true;
};

// The GetNetworkInterfaces body (after EnvelopeOpening); the address is given as
// Manual or FromDHCP by the report's DHCP state.
std::string network_interfaces_body(const InterfaceReport& report);

// Plain: the interface as the cached NETWORK section describes it.
HandlerOutcome handle_get_net_if(const Request& request, Reply& reply);
// Body part: replies first, then switches to DHCP or writes the static record; then a
// Hello is queued and the event service re-reads the address.
HandlerOutcome handle_set_network_interfaces(const Request& request, Reply& reply);

}  // namespace nvtd
