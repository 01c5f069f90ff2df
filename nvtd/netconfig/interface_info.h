// Kernel-side IP configuration reads: which interface is active, its hardware address,
// IPv4 address and netmask. Each returns 0 or -1 and clears its output first.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace nvtd {

// "eth0" or "wlan0" (in this order) when up and running, else "usb0" when up and
// running, else "eth0". Always 0.
int active_interface(std::string* name);
int read_hwaddr(std::array<uint8_t, 6>* hwaddr);
// Retries up to 15 times a second apart while the interface has no address.
int read_ipv4_address(std::string* address);
int read_netmask(std::string* netmask);

}  // namespace nvtd
