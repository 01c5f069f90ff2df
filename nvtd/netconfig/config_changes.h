// IP configuration changes: name server, host name, DHCP and static address, applied
// with the camera's shell commands. A value that is not a dotted-quad address or a plain
// host name is refused (-1) before any command is composed.
#pragma once

#include <string>

namespace nvtd {

// Rewrites /etc/resolv.conf. 0 (the command's status is not looked at), -1 refused.
int set_name_server(const std::string& address);
// Writes /etc/hostname, sets the kernel host name, restarts UPnP. 0, or -1 refused.
int set_host_name(const std::string& name);
// Rewrites the interfaces file for DHCP on the active interface and restarts it.
int switch_to_dhcp();
// Stops the DHCP client, rewrites the interfaces file, restarts the interface.
int set_static_address(const std::string& address, const std::string& netmask,
                       const std::string& gateway);

}  // namespace nvtd
