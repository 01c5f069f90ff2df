// Reads a push consumer's address ("http://10.1.2.3:8080/onvif/notify") into the host, port
// and path that the Notify POST is sent to, and decides whether the camera may send there.
#pragma once

#include <string>

#include "nvtd/events/subscription_table.h"

namespace nvtd {

enum class ConsumerAddress {
  kAccepted,  // *consumer holds host, port, path and address
  kNotHttp,   // the text holds no "http://" at all
  kRefused,   // not a plain http://A.B.C.D[:port][/path], or a host the camera must not reach
};

// The text (XML white space around it is dropped) must be exactly "http://", an IPv4 address
// in dotted decimal, an optional ":port" (1 to 65535) and an optional path from "/" on made
// only of the characters a URI path and query may hold (no spaces, controls, "#", quotes or
// bytes above 0x7e; "%" only before two hex digits). Host names are refused: the camera
// resolves no names for consumers, and a name could point at the camera itself at delivery.
// Refused hosts: 0.0.0.0/8, loopback 127.0.0.0/8, multicast 224.0.0.0/4, 240.0.0.0/4 with
// the broadcast address, and the camera's own address (camera_address, dotted text).
// Address and path are cut to 127 and 63 characters.
ConsumerAddress read_consumer_address(const std::string& text, const std::string& camera_address,
                                      ConsumerSpec* consumer);

}  // namespace nvtd
