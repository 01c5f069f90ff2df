// IP configuration reads from files and command output: DHCP state, default gateway,
// name server and host name. Each returns 0 or -1 and clears its output first.
#pragma once

#include <string>
#include <vector>

namespace nvtd {

// 1 (result 0) when the first "dhcp" line of the interfaces file names the active
// interface; otherwise 0 with result -1.
int read_dhcp_state(int* dhcp);
// The active interface's "UG" default route from netstat, else the interfaces file.
int read_default_gateway(std::string* gateway);
int read_name_server(std::string* nameserver);
int read_host_name(std::string* hostname);

// The pieces a C reader with a buffer of buffer_size bytes would get line by line
// (fgets: each piece at most buffer_size - 1 characters, newline kept).
std::vector<std::string> fgets_lines(const std::string& text, size_t buffer_size);

}  // namespace nvtd
