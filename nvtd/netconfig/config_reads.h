// IP configuration reads from the network files and the kernel's route table: DHCP state,
// default gateway, name server and host name. Each returns 0 or -1 and clears its output
// first; none starts a process.
#pragma once

#include <string>
#include <vector>

namespace nvtd {

// 1 (result 0) when the first line of the interfaces file that contains "dhcp" (comments
// too) names the active interface within its first 511 characters; otherwise 0 with -1.
int read_dhcp_state(int* dhcp);
// The active interface's default route shown as "UG" by netstat (route_table.h), else
// the digits and dots that start the second field of the interfaces file's first line
// containing "gateway".
int read_default_gateway(std::string* gateway);
int read_name_server(std::string* nameserver);
int read_host_name(std::string* hostname);

// The pieces a C reader with a buffer of buffer_size bytes would get line by line
// (fgets: each piece at most buffer_size - 1 characters, newline kept).
std::vector<std::string> fgets_lines(const std::string& text, size_t buffer_size);

}  // namespace nvtd
