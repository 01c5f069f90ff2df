// Reads and checks a push consumer's address (see consumer_url.h).
#include "nvtd/events/consumer_url.h"

#include <arpa/inet.h>

#include <cctype>
#include <cstdint>
#include <cstring>

namespace nvtd {
namespace {

constexpr char kScheme[] = "http://";
constexpr size_t kSchemeLength = sizeof kScheme - 1;

bool is_xml_space(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string trimmed(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && is_xml_space(text[begin])) ++begin;
  while (end > begin && is_xml_space(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool is_hex(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// A path and query as a request target may carry them: unreserved characters, sub-delimiters,
// ":", "@", "/", "?" and "%" with two hex digits.
bool plain_path(const std::string& path) {
  if (path.empty()) return true;
  if (path[0] != '/') return false;
  for (size_t at = 0; at < path.size(); ++at) {
    char c = path[at];
    if (c == '%') {
      if (at + 2 >= path.size() || !is_hex(path[at + 1]) || !is_hex(path[at + 2])) return false;
      continue;
    }
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) continue;
    if (c == '\0' || std::strchr("-._~!$&'()*+,;=:@/?", c) == nullptr) return false;
  }
  return true;
}

// The IPv4 address of dotted decimal text (inet_pton takes exactly four parts, no leading
// zeros, nothing else), in host order.
bool ipv4_of(const std::string& text, uint32_t* address) {
  struct in_addr parsed {};
  if (text.empty() || inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
  *address = ntohl(parsed.s_addr);
  return true;
}

bool reachable_host(uint32_t host) {
  uint8_t first = uint8_t(host >> 24);
  return first != 0 && first != 127 && first < 224;
}

// ":port" with 1 to 5 digits, 1..65535; the digits are taken from *at on.
bool read_port(const std::string& text, size_t* at, int* port) {
  size_t start = *at;
  long value = 0;
  while (*at < text.size() && std::isdigit(static_cast<unsigned char>(text[*at])) &&
         *at - start < 5) {
    value = value * 10 + (text[*at] - '0');
    ++*at;
  }
  if (*at == start || value < 1 || value > 65535) return false;
  *port = int(value);
  return true;
}

}  // namespace

ConsumerAddress read_consumer_address(const std::string& text, const std::string& camera_address,
                                      ConsumerSpec* consumer) {
  if (text.find(kScheme) == std::string::npos) return ConsumerAddress::kNotHttp;
  std::string url = trimmed(text);
  if (url.compare(0, kSchemeLength, kScheme) != 0) return ConsumerAddress::kRefused;
  size_t host_end = url.find_first_of(":/", kSchemeLength);
  if (host_end == std::string::npos) host_end = url.size();
  std::string host = url.substr(kSchemeLength, host_end - kSchemeLength);
  uint32_t address = 0;
  uint32_t camera = 0;
  if (!ipv4_of(host, &address) || !reachable_host(address)) return ConsumerAddress::kRefused;
  if (ipv4_of(camera_address, &camera) && camera == address) return ConsumerAddress::kRefused;
  size_t at = host_end;
  int port = 80;
  if (at < url.size() && url[at] == ':') {
    ++at;
    if (!read_port(url, &at, &port)) return ConsumerAddress::kRefused;
  }
  std::string path = url.substr(at);
  if (!plain_path(path)) return ConsumerAddress::kRefused;
  consumer->address = url.substr(0, 127);
  consumer->host = host;
  consumer->port = port;
  consumer->path = path.substr(0, 63);
  consumer->pull = false;
  return ConsumerAddress::kAccepted;
}

}  // namespace nvtd
