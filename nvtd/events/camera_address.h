// Where the event service gets the camera's IPv4 address: the NETWORK section, either
// from the current request's section cache or from a settings client of its own.
#pragma once

#include <string>

namespace nvtd {

// The text used when NETWORK has no "ipaddress".
inline constexpr char kUnknownAddress[] = "xxx.xxx.xxx.xxx";

// From the section cache of the current request (handlers after authentication).
std::string request_camera_address();

// From a fresh settings client that gets NETWORK (the thread's address, open operations).
std::string fresh_camera_address();

}  // namespace nvtd
