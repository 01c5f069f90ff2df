// The request value's derived views, and the decimal reading of its header values.
#include "nvtd/core/request.h"

#include <climits>

namespace nvtd {

std::string_view Request::body_part() const {
  std::string_view whole = body;
  std::size_t at = whole.find("Body");
  return at == std::string_view::npos ? std::string_view() : whole.substr(at);
}

long parse_decimal(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    int digit = *p - '0';
    if (value > (LONG_MAX - digit) / 10) {
      value = LONG_MAX;
      break;
    }
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

}  // namespace nvtd
