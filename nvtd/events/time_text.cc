// Time and duration texts of the event service (see time_text.h).
#include "nvtd/events/time_text.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace nvtd {
namespace {

bool is_digit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Longer durations read as this: far beyond every cap the callers apply, and small enough
// that no step below can overflow (kDurationLimit * 10 + 9, and kDurationLimit times the
// longest unit plus kDurationLimit, fit 63 bits).
constexpr int64_t kDurationLimit = INT32_MAX;

// Reads a run of digits into *value, saturating at kDurationLimit; false when there is none.
bool read_number(const char** p, int64_t* value) {
  const char* start = *p;
  *value = 0;
  for (; is_digit(**p); ++*p) *value = std::min(*value * 10 + (**p - '0'), kDurationLimit);
  return *p != start;
}

// Units of the date part and the time part of a duration, in seconds (a year counts 365
// days and a month 30: the result is cut to a few minutes anyway).
static_assert(kDurationLimit * 10 + 9 < INT64_MAX / 2, "digits cannot overflow");
static_assert(kDurationLimit * 31536000LL + kDurationLimit < INT64_MAX / 2, "parts cannot");
int64_t date_unit(char c) {
  return c == 'Y' ? 31536000 : c == 'M' ? 2592000 : c == 'D' ? 86400 : 0;
}
int64_t time_unit(char c) {
  return c == 'H' ? 3600 : c == 'M' ? 60 : c == 'S' ? 1 : 0;
}

}  // namespace

int parse_xs_duration(const std::string& text, int64_t* seconds) {
  const char* p = text.c_str();
  bool negative = *p == '-';
  if (negative) ++p;
  if (*p++ != 'P') return -1;
  int64_t total = 0;
  bool in_time = false;
  bool any = false;
  while (*p != '\0') {
    if (*p == 'T' && !in_time) {
      in_time = true;
      ++p;
      if (*p == '\0') return -1;  // "PT" needs at least one part
      continue;
    }
    int64_t value = 0;
    if (!read_number(&p, &value)) return -1;
    if (*p == '.') {  // fractions only on seconds
      ++p;
      while (is_digit(*p)) ++p;
      if (*p != 'S') return -1;
    }
    int64_t unit = in_time ? time_unit(*p) : date_unit(*p);
    if (unit == 0) return -1;
    total = std::min(total + value * unit, kDurationLimit);
    any = true;
    ++p;
  }
  if (!any) return -1;
  *seconds = negative ? -total : total;
  return 0;
}

int parse_xs_datetime(const std::string& text, std::time_t* when) {
  struct tm parts {};
  const char* rest = strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &parts);
  if (rest == nullptr) return -1;
  if (*rest == '.') {  // fractions of a second are allowed and dropped
    ++rest;
    if (!is_digit(*rest)) return -1;
    while (is_digit(*rest)) ++rest;
  }
  long offset = 0;
  if (*rest == '+' || *rest == '-') {
    int sign = *rest == '-' ? -1 : 1;
    int hours = 0;
    int minutes = 0;
    if (std::strlen(rest) != 6 || !is_digit(rest[1]) || !is_digit(rest[2]) || rest[3] != ':' ||
        !is_digit(rest[4]) || !is_digit(rest[5]))
      return -1;
    hours = (rest[1] - '0') * 10 + (rest[2] - '0');
    minutes = (rest[4] - '0') * 10 + (rest[5] - '0');
    if (hours > 14 || minutes > 59) return -1;
    offset = sign * (hours * 3600L + minutes * 60L);
  } else if (std::strcmp(rest, "Z") != 0 && *rest != '\0') {
    return -1;
  }
  *when = timegm(&parts) - offset;
  return 0;
}

int parse_termination(const std::string& text, std::time_t now, std::time_t* until) {
  int64_t seconds = 0;
  if (parse_xs_duration(text, &seconds) == 0) {
    *until = now + static_cast<std::time_t>(seconds);
    return 0;
  }
  return parse_xs_datetime(text, until);
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

}  // namespace nvtd
