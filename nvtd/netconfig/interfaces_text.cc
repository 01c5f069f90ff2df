// The grep and awk picks of the interfaces file, done on its text.

#include "nvtd/netconfig/interfaces_text.h"

namespace nvtd {

std::optional<std::string> first_line_with(const std::string& text, const std::string& word) {
  if (text.find('\0') != std::string::npos) return std::nullopt;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (line.find(word) != std::string::npos) return line;
    at = end + 1;
  }
  return std::nullopt;
}

std::string second_field(const std::string& line) {
  const char* blanks = " \t";
  size_t first = line.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  size_t gap = line.find_first_of(blanks, first);
  if (gap == std::string::npos) return "";
  size_t second = line.find_first_not_of(blanks, gap);
  if (second == std::string::npos) return "";
  size_t end = line.find_first_of(blanks, second);
  return line.substr(second, end == std::string::npos ? std::string::npos : end - second);
}

}  // namespace nvtd
