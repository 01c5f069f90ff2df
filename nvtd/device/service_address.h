// The camera's IPv4 address as the replies carry it, read from a NETWORK section, and the
// service addresses (XAddr) built from it and the service port.
#pragma once

#include <string>

#include "nvtd/getset/settings_client.h"

namespace nvtd {

// Stands in for the address when NETWORK cannot be got or holds none.
inline constexpr char kAddressPlaceholder[] = "xxx.xxx.xxx.xxx";

// "ipaddress" of a NETWORK client (at most 15 characters); the placeholder when the client
// is missing or the key is missing or empty.
std::string address_of(const SettingsClient* network);

// The address through a short-lived NETWORK client of its own, for the operations answered
// before the request's section cache exists.
std::string camera_address_open();

// The address from the request's cached NETWORK section.
std::string camera_address_cached();

// "http://A:P" followed by path, P being the service port.
std::string service_xaddr(const std::string& address, const char* path);

}  // namespace nvtd
