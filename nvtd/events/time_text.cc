// Time and duration texts of the event service (see time_text.h).
#include "nvtd/events/time_text.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace nvtd {

int ParseDuration(const char* text) {
  if (text == nullptr || std::strncmp(text, "PT", 2) != 0) return -1;
  const char* p = text + 2;
  int64_t value = 0;
  int digits = 0;
  while (std::isdigit(static_cast<unsigned char>(*p))) {
    value = value * 10 + (*p - '0');
    if (value > INT32_MAX) return -1;
    ++p;
    ++digits;
  }
  if (digits == 0) return -1;
  if (*p == 'S') return static_cast<int>(value);
  if (*p == 'M' && value <= INT32_MAX / 60) return static_cast<int>(value * 60);
  return -1;
}

static std::string format_time(std::time_t when, const char* format) {
  struct tm parts {};
  char text[64] = "";
  if (gmtime_r(&when, &parts) == nullptr) return std::string();
  std::strftime(text, sizeof text, format, &parts);
  return text;
}

std::string format_utc_time(std::time_t when) {
  return format_time(when, "%Y-%m-%dT%H:%M:%SZ");
}

std::string format_http_date(std::time_t when) {
  return format_time(when, "%a, %b %d %Y %H:%M:%S");
}

bool parse_utc_time(const char* text, std::time_t* out) {
  struct tm parts {};
  const char* rest = strptime(text, "%Y-%m-%dT%H:%M:%S", &parts);
  if (rest == nullptr) return false;
  if (*rest == '.') {  // fractions of a second are allowed and dropped
    ++rest;
    while (std::isdigit(static_cast<unsigned char>(*rest))) ++rest;
  }
  if (std::strcmp(rest, "Z") != 0) return false;
  *out = timegm(&parts);
  return true;
}

}  // namespace nvtd
