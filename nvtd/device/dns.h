// GetDNS and SetDNS: the name server from the NETWORK section, and the in-memory DNS
// source and search domain.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// Plain: DNSFromDHCP, the search domain alone, or DNSManual.
HandlerOutcome handle_get_dns(const Request& request, Reply& reply);
// Plain: keeps the search domain and the source; writes a given name server.
HandlerOutcome handle_set_dns(const Request& request, Reply& reply);

}  // namespace nvtd
