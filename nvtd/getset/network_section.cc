// The NETWORK section: seven records made from the live IP configuration, and a record
// text turned back into name-server, host-name, DHCP and static-address changes.

#include "nvtd/getset/network_section.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "nvtd/netconfig/config_changes.h"
#include "nvtd/netconfig/config_reads.h"
#include "nvtd/netconfig/interface_info.h"

namespace nvtd {
namespace {

bool is_space(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

void append_string_record(std::string* text, const char* key, const std::string& value) {
  *text += key;
  *text += " = \"";
  *text += value;
  *text += "\"\n";
}

// One "key = value" record of a NETWORK set applied to desired.
void take_record(const std::string& key, const std::string& value, NetworkValues* desired) {
  if (key == "ipaddress") desired->ipaddress = value;
  if (key == "netmask") desired->netmask = value;
  if (key == "gateway") desired->gateway = value;
  if (key == "nameserver") desired->nameserver = value;
  if (key == "hostname") desired->hostname = value;
  if (key == "dhcp") desired->dhcp = !value.empty() && value[0] == '1' ? 1 : 0;
}

// Parses records line by line up to the end or an empty line.
void parse_records(const std::string& records, NetworkValues* desired) {
  size_t p = 0;
  const size_t n = records.size();
  while (p < n && records[p] != '\n') {
    size_t key_end = p;
    while (key_end < n && records[key_end] != ' ' && records[key_end] != '\n') ++key_end;
    std::string key = records.substr(p, key_end - p).substr(0, 31);
    p = key_end;
    while (p < n && is_space(records[p])) ++p;
    if (p < n) ++p;  // the separator
    while (p < n && is_space(records[p])) ++p;
    size_t start = p;
    std::string value;
    if (p < n && records[p] == '"') {
      start = ++p;
      while (p < n && records[p] != '"') ++p;
      value = records.substr(start, p - start).substr(0, 64);
    } else {
      while (p < n && !is_space(records[p]) && records[p] != '"') ++p;
      value = records.substr(start, p - start).substr(0, 63);
    }
    take_record(key, value, desired);
    // On to the next line (past a closing quote, trailing blanks and the newline).
    while (p < n && records[p] != '\n') ++p;
    if (p < n) ++p;
  }
}

}  // namespace

void read_network_values(NetworkValues* current) {
  int dhcp = 0;
  current->dhcp = read_dhcp_state(&dhcp) == 0 && dhcp == 1 ? 1 : 0;
  read_ipv4_address(&current->ipaddress);
  read_netmask(&current->netmask);
  read_default_gateway(&current->gateway);
  read_name_server(&current->nameserver);
  read_host_name(&current->hostname);
}

int build_network_section(NetworkValues* current, std::string* text) {
  read_network_values(current);
  std::array<uint8_t, 6> hw{};
  read_hwaddr(&hw);
  *text += current->dhcp == 1 ? "dhcp = 1\n" : "dhcp = 0\n";
  append_string_record(text, "ipaddress", current->ipaddress);
  append_string_record(text, "netmask", current->netmask);
  append_string_record(text, "gateway", current->gateway);
  append_string_record(text, "nameserver", current->nameserver);
  append_string_record(text, "hostname", current->hostname);
  char hex[13];
  std::snprintf(hex, sizeof hex, "%02X%02X%02X%02X%02X%02X", hw[0], hw[1], hw[2], hw[3], hw[4],
                hw[5]);
  append_string_record(text, "hwaddr", hex);
  return 0;
}

int apply_network_section(const std::string& records, NetworkValues* current,
                          NetworkValues* desired) {
  read_network_values(current);
  *desired = *current;
  parse_records(records, desired);
  if (desired->nameserver != current->nameserver) {
    if (set_name_server(desired->nameserver) != 0) return -1;
    current->nameserver = desired->nameserver;
  }
  if (desired->hostname != current->hostname) {
    if (set_host_name(desired->hostname) != 0) return -1;
    current->hostname = desired->hostname;
  }
  if (desired->dhcp == 1 && current->dhcp != 1) {
    if (switch_to_dhcp() != 0) return -1;
    current->dhcp = 1;
  }
  bool leaving_dhcp = current->dhcp == 1 && desired->dhcp == 0;
  bool changed = desired->ipaddress != current->ipaddress || desired->netmask != current->netmask ||
                 desired->gateway != current->gateway;
  if (leaving_dhcp || changed) {
    if (set_static_address(desired->ipaddress, desired->netmask, desired->gateway) != 0) {
      return -1;
    }
    current->ipaddress = desired->ipaddress;
    current->netmask = desired->netmask;
    current->gateway = desired->gateway;
  }
  return 0;
}

}  // namespace nvtd
