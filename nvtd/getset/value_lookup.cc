// Section-text lookups: the key must start a record (start of text or after whitespace)
// and end at whitespace or "=", so "fps" never matches inside "s0_fps".

#include "nvtd/getset/value_lookup.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace nvtd {
namespace {

bool is_space(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The value of key as a view into text, or false when the key is not there.
bool locate_value(std::string_view text, std::string_view key, std::string_view* value) {
  if (key.empty()) return false;
  size_t at = 0;
  while ((at = text.find(key, at)) != std::string_view::npos) {
    size_t end = at + key.size();
    bool starts = at == 0 || is_space(text[at - 1]);
    bool ends = end < text.size() && (is_space(text[end]) || text[end] == '=');
    if (starts && ends) break;
    at = end;
  }
  if (at == std::string_view::npos) return false;
  size_t p = at + key.size();
  while (p < text.size() && is_space(text[p])) ++p;
  if (p < text.size()) ++p;  // the separator, whatever it is
  while (p < text.size() && is_space(text[p])) ++p;
  size_t start = p;
  if (p < text.size() && text[p] == '"') {
    start = ++p;
    while (p < text.size() && text[p] != '"') ++p;
  } else {
    while (p < text.size() && !is_space(text[p]) && text[p] != '"') ++p;
  }
  *value = text.substr(start, p - start);
  return true;
}

}  // namespace

int find_value(std::string_view text, std::string_view key, char* out, size_t capacity) {
  std::string_view value;
  if (!locate_value(text, key, &value)) return -1;
  if (capacity == 0) return 0;
  size_t n = value.size() < capacity - 1 ? value.size() : capacity - 1;
  std::memcpy(out, value.data(), n);
  out[n] = '\0';
  return 0;
}

int find_value(std::string_view text, std::string_view key, std::string* out, size_t capacity) {
  std::string_view value;
  if (!locate_value(text, key, &value)) return -1;
  out->assign(value.substr(0, capacity == 0 ? 0 : capacity - 1));
  return 0;
}

int parse_int_value(const char* value) {
  errno = 0;
  long long n = std::strtoll(value, nullptr, 10);
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

}  // namespace nvtd
