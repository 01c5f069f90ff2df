// xs:dateTime parsing for Created: fixed fields, a zone, the proleptic Gregorian calendar.
#include "nvtd/auth/created_time.h"

namespace nvtd {
namespace {

// Reads exactly n digits at text[*at]; advances *at.
bool digits(std::string_view text, std::size_t* at, int n, int* value) {
  if (*at + n > text.size()) return false;
  int v = 0;
  for (int i = 0; i < n; ++i) {
    char c = text[*at + i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *at += n;
  *value = v;
  return true;
}

bool expect(std::string_view text, std::size_t* at, char c) {
  if (*at >= text.size() || text[*at] != c) return false;
  ++*at;
  return true;
}

bool leap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leap(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the date (proleptic Gregorian calendar).
std::int64_t days_from_civil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - int(era * 400);
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view collapsed(std::string_view text) {
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The zone at text[*at] as seconds east of UTC; nullopt when it is none or beyond ±14:00.
std::optional<int> zone_offset(std::string_view text, std::size_t* at) {
  if (expect(text, at, 'Z')) return 0;
  if (*at >= text.size() || (text[*at] != '+' && text[*at] != '-')) return std::nullopt;
  int sign = text[(*at)++] == '-' ? -1 : 1;
  int oh, om;
  if (!digits(text, at, 2, &oh) || !expect(text, at, ':') || !digits(text, at, 2, &om) || om > 59 ||
      oh * 60 + om > 14 * 60) {
    return std::nullopt;
  }
  return sign * (oh * 3600 + om * 60);
}

}  // namespace

std::optional<CreatedTime> parse_created(std::string_view raw) {
  std::string_view text = collapsed(raw);
  std::size_t at = 0;
  int year, month, day, hour, minute, second;
  if (!digits(text, &at, 4, &year) || !expect(text, &at, '-') || !digits(text, &at, 2, &month) ||
      !expect(text, &at, '-') || !digits(text, &at, 2, &day) || !expect(text, &at, 'T') ||
      !digits(text, &at, 2, &hour) || !expect(text, &at, ':') || !digits(text, &at, 2, &minute) ||
      !expect(text, &at, ':') || !digits(text, &at, 2, &second)) {
    return std::nullopt;
  }
  if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return std::nullopt;
  }
  CreatedTime created;
  if (expect(text, &at, '.')) {
    std::size_t start = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    if (at == start) return std::nullopt;
    std::string_view fraction = text.substr(start, at - start);
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    created.fraction = std::string(fraction);
  }
  std::optional<int> offset = zone_offset(text, &at);
  if (!offset || at != text.size()) return std::nullopt;
  created.seconds =
      days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - *offset;
  return created;
}

}  // namespace nvtd
