// The NETWORK section: not served by the settings server but built from the live IP
// configuration, and applied to it (name server, host name, DHCP or static address).
#pragma once

#include <string>

namespace nvtd {

struct NetworkValues {
  std::string ipaddress, netmask, gateway, nameserver, hostname;
  int dhcp = -1;  // 1 DHCP, 0 static, -1 not read yet
};

// Reads the DHCP state and the five addresses and names into current.
void read_network_values(NetworkValues* current);

// Reads the live configuration into current and appends the seven NETWORK records
// ("dhcp", the five strings, "hwaddr" as twelve upper-case hex digits) to text. Returns 0.
int build_network_section(NetworkValues* current, std::string* text);

// Refreshes current, parses the records into desired (starting from current) and applies
// the differences in order: name server, host name, DHCP, static address. 0, or -1 at the
// first change that fails (earlier changes stay).
int apply_network_section(const std::string& records, NetworkValues* current,
                          NetworkValues* desired);

}  // namespace nvtd
