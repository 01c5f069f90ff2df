// Reads of the DHCP state, default gateway, name server and host name from the network
// files and the kernel's route table, through the system seam. No command is run: the
// values are the ones the camera took from `grep` and `netstat -rn` output before.

#include "nvtd/netconfig/config_reads.h"

#include <optional>

#include "nvtd/netconfig/interface_info.h"
#include "nvtd/netconfig/interfaces_text.h"
#include "nvtd/netconfig/net_system.h"
#include "nvtd/netconfig/route_table.h"

namespace nvtd {
namespace {

// The command output was read in pieces of this many characters less one (the first piece
// of a line is all that was looked at).
constexpr size_t kCommandLine = 512;
constexpr size_t kFileLine = 64;
// grep reads the whole file; the route table of a camera is a few lines.
constexpr size_t kMaxTable = 1024 * 1024;
// The name server and host name reads look at no more than this.
constexpr size_t kMaxSmallFile = 64 * 1024;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

std::string digits_and_dots(const std::string& text, size_t from) {
  size_t end = from;
  while (end < text.size() && (is_digit(text[end]) || text[end] == '.')) ++end;
  return text.substr(from, end - from);
}

std::string file_text(const std::string& path, size_t max_bytes) {
  std::string text;
  net_system().ReadFile(path, max_bytes, &text);
  return text;
}

}  // namespace

std::vector<std::string> fgets_lines(const std::string& text, size_t buffer_size) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    if (end - at > buffer_size - 1) end = at + buffer_size - 1;
    lines.push_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}

int read_dhcp_state(int* dhcp) {
  *dhcp = 0;
  std::optional<std::string> line =
      first_line_with(file_text(net_system().interfaces_file, kMaxTable), "dhcp");
  std::string name;
  active_interface(&name);
  if (!line || line->substr(0, kCommandLine - 1).find(name) == std::string::npos) return -1;
  *dhcp = 1;
  return 0;
}

int read_default_gateway(std::string* gateway) {
  gateway->clear();
  std::string name;
  active_interface(&name);
  std::optional<std::string> routed =
      route_table_gateway(file_text(net_system().route_file, kMaxTable), name);
  if (routed) {
    *gateway = *routed;
    return 0;
  }
  std::optional<std::string> line =
      first_line_with(file_text(net_system().interfaces_file, kMaxTable), "gateway");
  if (!line) return -1;
  std::string field = second_field(*line).substr(0, kCommandLine - 1);
  if (field.empty() || !is_digit(field[0])) return -1;
  *gateway = digits_and_dots(field, 0);
  return 0;
}

int read_name_server(std::string* nameserver) {
  nameserver->clear();
  std::string text = file_text(net_system().resolv_file, kMaxSmallFile);
  for (const std::string& line : fgets_lines(text, kFileLine)) {
    if (line.compare(0, 10, "nameserver") != 0) continue;
    size_t digit = 0;
    while (digit < line.size() && !is_digit(line[digit])) ++digit;
    *nameserver = digits_and_dots(line, digit);
    return 0;
  }
  return -1;
}

int read_host_name(std::string* hostname) {
  hostname->clear();
  std::string text = file_text(net_system().hostname_file, kMaxSmallFile);
  if (text.empty()) return -1;
  // The first line as fgets gives it, up to its newline, carriage return or NUL.
  std::string line = fgets_lines(text, kFileLine)[0];
  *hostname = line.substr(0, line.find_first_of(std::string("\r\n\0", 3)));
  return 0;
}

}  // namespace nvtd
