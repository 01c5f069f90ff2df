// The numbers on lensctl's command line.
#include "lensctl/arguments.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lensctl {

bool parse_byte_argument(const char* text, uint8_t* value) {
  if (text == nullptr || *text == '\0' || std::strspn(text, "0123456789") != std::strlen(text)) {
    return false;
  }
  errno = 0;
  const unsigned long long number = std::strtoull(text, nullptr, 10);
  if (errno == ERANGE) return false;
  *value = static_cast<uint8_t>(number);
  return true;
}

}  // namespace lensctl
