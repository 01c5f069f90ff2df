// Escaping of raw texts for element content.
#include "nvtd/device/xml_text.h"

#include <cctype>

namespace nvtd {
namespace {

// Length of the entity or character reference at text[0] ("&amp;", "&#60;", "&#x3C;"),
// or 0 when there is none.
std::size_t reference_length(std::string_view text) {
  std::size_t i = 1;
  if (i < text.size() && text[i] == '#') {
    ++i;
    bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex) ++i;
    std::size_t digits = i;
    while (i < text.size() && (hex ? isxdigit(static_cast<unsigned char>(text[i]))
                                   : isdigit(static_cast<unsigned char>(text[i])))) {
      ++i;
    }
    if (i == digits) return 0;
  } else {
    std::size_t name = i;
    while (i < text.size() && isalnum(static_cast<unsigned char>(text[i]))) ++i;
    if (i == name) return 0;
  }
  return i < text.size() && text[i] == ';' ? i + 1 : 0;
}

}  // namespace

std::string xml_safe_text(std::string_view raw) {
  std::string safe;
  safe.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '<') {
      safe += "&lt;";
    } else if (c == '>') {
      safe += "&gt;";
    } else if (c == '&') {
      std::size_t n = reference_length(raw.substr(i));
      if (n == 0) {
        safe += "&amp;";
      } else {
        safe.append(raw.substr(i, n));
        i += n - 1;
      }
    } else if (u >= 0x20 || c == '\t' || c == '\n' || c == '\r') {
      safe += c;
    }
  }
  return safe;
}

}  // namespace nvtd
