// IPv4 netmasks by prefix length: the `Prefix` table, the prefix length a netmask text
// reports, and the netmask text of a requested prefix length.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace nvtd {

// Index = prefix length 0..32, value = the netmask in host byte order.
extern const std::array<uint32_t, 33> Prefix;

// The first prefix length whose netmask equals the dotted-decimal text; 0 when none does.
// A text that is not an IPv4 address (also an empty one, as for a missing "netmask"
// record) reports 0 too, never the 32 that a failed inet_addr would stand for.
int prefix_length_of(const std::string& netmask);

// A requested PrefixLength: 1..32 written in decimal digits only; -1 for anything else.
int parse_prefix_length(const std::string& text);

// The dotted-decimal netmask of a prefix length 0..32 ("255.255.0.0" for 16).
std::string netmask_of_prefix(int length);

}  // namespace nvtd
