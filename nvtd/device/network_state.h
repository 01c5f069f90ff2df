// Process-wide network values that live only in the service's memory: where the name
// server comes from, the search domain, and the protocol switches and ports reported to
// clients. None of them is applied to the system; each starts with the value below.
#pragma once

#include <cstdint>
#include <string>

namespace nvtd {

extern bool DnsManual;            // false: the name server follows DHCP
extern std::string SearchDomain;  // at most 63 characters; empty
extern bool HttpReportedEnabled;  // false
extern int32_t HttpReportedPort;  // 80 (not HttpPort, which the service listens on)
extern bool RtspReportedEnabled;  // true
extern int32_t RtspReportedPort;  // 554

// Back to the start values (for tests).
void reset_network_state();

}  // namespace nvtd
