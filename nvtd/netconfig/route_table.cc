// Reading /proc/net/route the way net-tools' `netstat -rn` reads and shows it, so the
// gateway is the one the camera took from netstat's output.

#include "nvtd/netconfig/route_table.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "nvtd/netconfig/config_reads.h"

namespace nvtd {
namespace {

constexpr unsigned kUp = 0x0001;
constexpr unsigned kGateway = 0x0002;
// Every other flag netstat shows as a letter (H R D M u w i n d a c o e c f p l) or as "!"
// (reject): with any of these the flags column is not exactly "UG".
constexpr unsigned kOtherShownFlags = 0x876707FCu;
// netstat reads the table with fgets into 1024 bytes (1023 characters a piece).
constexpr size_t kLineBuffer = 1024;

const char* const kColumns[] = {"Iface",  "Destination", "Gateway", "Flags",  "RefCnt", "Use",
                                "Metric", "Mask",        "MTU",     "Window", "IRTT"};

bool is_kernel_header(const std::string& line) {
  std::istringstream words(line);
  std::string word;
  for (const char* column : kColumns) {
    if (!(words >> word) || word != column) return false;
  }
  return !(words >> word);
}

int hex_digit(char c) {
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The table's address column: four hex bytes in the order they lie in memory on this
// host; false unless the first eight characters are hex digits.
bool column_address(const char* text, in_addr* address) {
  uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) {
    int high = hex_digit(text[2 * i]);
    int low = high < 0 ? -1 : hex_digit(text[2 * i + 1]);
    if (low < 0) return false;
    bytes[i] = static_cast<uint8_t>(high << 4 | low);
  }
  uint32_t value;
  std::memcpy(&value, bytes, sizeof value);
  address->s_addr = htonl(value);
  return true;
}

}  // namespace

std::optional<std::string> route_table_gateway(const std::string& table,
                                               const std::string& interface) {
  std::vector<std::string> lines = fgets_lines(table, kLineBuffer);
  if (lines.empty() || !is_kernel_header(lines[0])) return std::nullopt;
  for (size_t i = 1; i < lines.size(); ++i) {
    char name[16], destination[128], gateway[128], mask[128];
    unsigned flags = 0;
    int refcnt, use, metric, mtu, window, irtt;
    int fields = std::sscanf(lines[i].c_str(), "%15s %127s %127s %X %d %d %d %127s %d %d %d", name,
                             destination, gateway, &flags, &refcnt, &use, &metric, mask, &mtu,
                             &window, &irtt);
    if (fields < 10 || (flags & kUp) == 0) continue;  // lines netstat does not show
    if ((flags & (kGateway | kOtherShownFlags)) != kGateway || interface != name) continue;
    in_addr to, via;
    if (!column_address(destination, &to) || !column_address(gateway, &via)) continue;
    if (to.s_addr != 0) continue;
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, &via, text, sizeof text);
    return std::string(text);
  }
  return std::nullopt;
}

}  // namespace nvtd
