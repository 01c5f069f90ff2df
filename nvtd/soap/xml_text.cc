// Escaping of echoed texts for attributes and element content.
#include "nvtd/soap/xml_text.h"

#include <cstdlib>

namespace nvtd {
namespace {

bool allowed_char(unsigned long c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Length of the entity reference at text[0] == '&' (through ';'), or 0 when it is not one
// a parser without a DTD accepts.
size_t reference_length(std::string_view text) {
  size_t end = text.find(';');
  if (end == std::string_view::npos || end < 2) return 0;
  std::string_view name = text.substr(1, end - 1);
  for (std::string_view known : {"lt", "gt", "amp", "quot", "apos"}) {
    if (name == known) return end + 1;
  }
  if (name[0] != '#' || name.size() < 2) return 0;
  bool hex = name[1] == 'x';
  std::string digits(name.substr(hex ? 2 : 1));
  if (digits.empty() || digits.size() > 8) return 0;
  const char* set = hex ? "0123456789abcdefABCDEF" : "0123456789";
  if (digits.find_first_not_of(set) != std::string::npos) return 0;
  return allowed_char(strtoul(digits.c_str(), nullptr, hex ? 16 : 10)) ? end + 1 : 0;
}

}  // namespace

std::string xml_safe(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(raw[i]);
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '&': {
        size_t n = reference_length(raw.substr(i));
        if (n == 0) {
          out += "&amp;";
        } else {
          out.append(raw.substr(i, n));
          i += n - 1;
        }
        break;
      }
      default:
        out += (c < 0x20 && !allowed_char(c)) ? '?' : char(c);
    }
  }
  return out;
}

}  // namespace nvtd
