// Address and host-name checks for values bound for shell commands.

#include "nvtd/netconfig/net_values.h"

namespace nvtd {
namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_alnum(char c) {
  return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

bool is_dotted_quad(const std::string& text) {
  int parts = 0;
  size_t i = 0;
  while (true) {
    size_t start = i;
    int value = 0;
    while (i < text.size() && is_digit(text[i]) && i - start < 3)
      value = value * 10 + (text[i++] - '0');
    // "010" is octal 8 to inet_aton and the resolver: a leading zero is refused.
    if (i == start || value > 255 || (text[start] == '0' && i - start > 1)) return false;
    ++parts;
    if (i == text.size()) return parts == 4;
    if (text[i] != '.' || parts == 4) return false;
    ++i;
  }
}

bool is_host_name(const std::string& text) {
  if (text.empty() || text.size() > 63) return false;
  if (!is_alnum(text.front()) || text.back() == '-') return false;
  for (char c : text) {
    if (!is_alnum(c) && c != '-') return false;
  }
  return true;
}

}  // namespace nvtd
