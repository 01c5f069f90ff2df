// GetDNS and SetDNS: the name server from the NETWORK section, and the in-memory DNS
// source and search domain.
#pragma once

namespace nvtd {

// Plain: DNSFromDHCP, the search domain alone, or DNSManual.
int handle_get_dns();
// Plain: keeps the search domain and the source; writes a given name server.
int handle_set_dns();

}  // namespace nvtd
