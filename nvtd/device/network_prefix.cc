// Netmasks and prefix lengths; the table is built once at compile time.
#include "nvtd/device/network_prefix.h"

#include <arpa/inet.h>

#include <cstdio>

namespace nvtd {
namespace {

constexpr std::array<uint32_t, 33> make_prefix_table() {
  std::array<uint32_t, 33> table{};
  for (int length = 1; length <= 32; ++length) {
    table[length] = table[length - 1] | (uint32_t{1} << (32 - length));
  }
  return table;
}

}  // namespace

const std::array<uint32_t, 33> Prefix = make_prefix_table();

int prefix_length_of(const std::string& netmask) {
  in_addr address{};
  if (inet_pton(AF_INET, netmask.c_str(), &address) != 1) return 0;
  uint32_t mask = ntohl(address.s_addr);
  for (int length = 0; length <= 32; ++length) {
    if (Prefix[length] == mask) return length;
  }
  return 0;
}

int parse_prefix_length(const std::string& text) {
  if (text.empty() || text.size() > 2) return -1;
  int length = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    length = length * 10 + (c - '0');
  }
  return length >= 1 && length <= 32 ? length : -1;
}

std::string netmask_of_prefix(int length) {
  if (length < 0 || length > 32) return "";
  uint32_t mask = Prefix[length];
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", mask >> 24, (mask >> 16) & 0xFF,
                (mask >> 8) & 0xFF, mask & 0xFF);
  return text;
}

}  // namespace nvtd
