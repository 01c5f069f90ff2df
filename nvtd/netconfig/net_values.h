// Checks on the values that the IP configuration operations place into shell commands:
// only a dotted-quad IPv4 address or a plain host name ever reaches a shell.
#pragma once

#include <string>

namespace nvtd {

// Four decimal numbers 0..255 separated by dots, each "0" or without leading zeros.
bool is_dotted_quad(const std::string& text);

// Letters and digits, inner "-", not starting or ending with "-", 1..63 characters.
bool is_host_name(const std::string& text);

}  // namespace nvtd
