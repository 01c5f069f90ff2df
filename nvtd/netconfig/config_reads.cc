// Reads of the DHCP state, default gateway, name server and host name, from command
// output and the network files, through the system seam.

#include "nvtd/netconfig/config_reads.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "nvtd/netconfig/interface_info.h"
#include "nvtd/netconfig/net_system.h"

namespace nvtd {
namespace {

constexpr size_t kCommandLine = 512;
constexpr size_t kFileLine = 64;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

std::string digits_and_dots(const std::string& text, size_t from) {
  size_t end = from;
  while (end < text.size() && (is_digit(text[end]) || text[end] == '.')) ++end;
  return text.substr(from, end - from);
}

// Fields of line separated by any of the given characters (empty fields skipped).
std::vector<std::string> fields(const std::string& line, const char* separators) {
  std::vector<std::string> out;
  size_t at = 0;
  while ((at = line.find_first_not_of(separators, at)) != std::string::npos) {
    size_t end = line.find_first_of(separators, at);
    if (end == std::string::npos) end = line.size();
    out.push_back(line.substr(at, end - at));
    at = end;
  }
  return out;
}

std::vector<std::string> file_lines(const std::string& path, size_t buffer_size) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "r"), std::fclose);
  if (!file) return {};
  std::string text;
  char chunk[512];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0 && text.size() < 65536) {
    text.append(chunk, n);
  }
  return fgets_lines(text, buffer_size);
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
  std::string output;
  if (net_system().Capture("grep dhcp /etc/network/interfaces", &output) != 0) return -1;
  std::vector<std::string> lines = fgets_lines(output, kCommandLine);
  std::string name;
  active_interface(&name);
  if (lines.empty() || lines[0].find(name) == std::string::npos) return -1;
  *dhcp = 1;
  return 0;
}

int read_default_gateway(std::string* gateway) {
  gateway->clear();
  std::string name;
  active_interface(&name);
  std::string output;
  if (net_system().Capture("netstat -rn", &output) == 0) {
    for (const std::string& line : fgets_lines(output, kCommandLine)) {
      std::vector<std::string> f = fields(line, " \t");
      if (f.empty() || f[0] != "0.0.0.0") continue;
      std::vector<std::string> g = fields(line, " \t\r\n");
      if (f.size() >= 4 && g.size() >= 8 && g[7] == name && f[3] == "UG") {
        *gateway = f[1];
        return 0;
      }
    }
  }
  if (net_system().Capture("grep gateway /etc/network/interfaces | awk '{print $2}'", &output) !=
      0) {
    return -1;
  }
  std::vector<std::string> lines = fgets_lines(output, kCommandLine);
  if (lines.empty() || !is_digit(lines[0][0])) return -1;
  *gateway = digits_and_dots(lines[0], 0);
  return 0;
}

int read_name_server(std::string* nameserver) {
  nameserver->clear();
  for (const std::string& line : file_lines(net_system().resolv_file, kFileLine)) {
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
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(net_system().hostname_file.c_str(), "r"),
                                             std::fclose);
  if (!file) return -1;
  char line[kFileLine];
  if (std::fgets(line, sizeof line, file.get()) == nullptr) return -1;
  line[std::strcspn(line, "\r\n")] = '\0';
  *hostname = line;
  return 0;
}

}  // namespace nvtd
