// The default gateway in the kernel's IPv4 route table (/proc/net/route text), picked
// as the camera always picked it from `netstat -rn`: the first route that netstat shows
// with destination 0.0.0.0, flags exactly "UG" and the given interface.
#pragma once

#include <optional>
#include <string>

namespace nvtd {

// The gateway as dotted-quad text, or none when no route qualifies or the text does not
// start with the kernel's column titles (netstat then shows no routes).
std::optional<std::string> route_table_gateway(const std::string& table,
                                               const std::string& interface);

}  // namespace nvtd
