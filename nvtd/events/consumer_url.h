// Splits a push consumer's address ("http://10.1.2.3:8080/onvif/notify") into the host,
// port and path that the Notify POST is sent to.
#pragma once

#include <string>

#include "nvtd/events/subscription_table.h"

namespace nvtd {

// False when the text holds no "http://". The host is the run of digits and dots after it
// (a host name gives an empty host); the port follows a colon (80 without one); the path
// is the rest. Address, host and path are cut to 127, 31 and 63 characters.
bool parse_consumer_address(const std::string& text, ConsumerSpec* consumer);

}  // namespace nvtd
