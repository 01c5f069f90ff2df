// Reads single values out of a SOAP request: the first element with a given local name,
// any prefix. Every step stays inside the given length; the text need not be NUL-terminated.
#include "nvtd/soap/element_reader.h"

#include <algorithm>
#include <cstring>

namespace nvtd {
namespace {

bool opens_name(char c) {
  return c == ' ' || c == ':' || c == '<';
}
bool closes_name(char c) {
  return c == ' ' || c == '>';
}

}  // namespace

bool find_element(std::string_view text, std::string_view name, ElementSpan* span) {
  if (name.empty()) return false;
  std::size_t pos = 0;
  std::size_t match;
  // A match counts only as a whole local name: after a space, ":" or "<" and before a
  // space or ">" (so "CategoryList" and a self-closing "Category/>" are passed over).
  for (;;) {
    match = text.find(name, pos);
    if (match == std::string_view::npos) return false;
    std::size_t after = match + name.size();
    if (match > 0 && opens_name(text[match - 1]) && after < text.size() &&
        closes_name(text[after])) {
      break;
    }
    pos = after;
    if (pos >= text.size()) return false;
  }
  // The start tag ends at the next ">", its attributes skipped.
  std::size_t tag_end = text.find('>', match + name.size());
  if (tag_end == std::string_view::npos) return false;
  std::size_t value_begin = tag_end + 1;
  // The end tag: the next occurrence of the name, stepped back to its "<".
  std::size_t end_match = text.find(name, value_begin);
  if (end_match == std::string_view::npos) return false;
  std::size_t value_end = end_match;
  while (value_end > value_begin && text[value_end] != '<') --value_end;
  span->value_begin = value_begin;
  span->value_end = value_end;
  span->end_match = end_match;
  return true;
}

std::optional<std::string> element_text(std::string_view text, std::string_view name,
                                        std::size_t size) {
  ElementSpan span;
  if (size == 0 || !find_element(text, name, &span)) return std::nullopt;
  std::size_t n = std::min(span.value_end - span.value_begin, size - 1);
  return std::string(text.substr(span.value_begin, n));
}

const char* get_element_text(const char* text, int length, const char* name, char* out, int size) {
  if (text == nullptr || name == nullptr || out == nullptr || length <= 0 || size <= 0) {
    return nullptr;
  }
  auto value = element_text(std::string_view(text, static_cast<std::size_t>(length)), name,
                            static_cast<std::size_t>(size));
  if (!value) return nullptr;
  std::memcpy(out, value->data(), value->size());
  out[value->size()] = '\0';
  return out;
}

}  // namespace nvtd
