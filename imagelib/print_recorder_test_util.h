// For the image library's tests: a print operation that records what the library prints,
// so tests can compare its messages.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace imagelib_test {

// What record_print was given since the test last cleared it.
inline std::string printed;

inline int record_print(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  const int n = vsnprintf(text, sizeof text, format, args);
  va_end(args);
  printed += text;
  return n;
}

}  // namespace imagelib_test
