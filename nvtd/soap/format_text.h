// Bounded printf into a string, for the pieces that are filled into a response template
// (a formatted piece is always passed on as a value, never used as a format again).
#pragma once

#include <cstdarg>
#include <string>

#include "nvtd/soap/writers.h"

namespace nvtd {

// The formatted text, cut to what a response buffer holds.
inline std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

inline std::string format_text(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = format_bounded(kResponseBufferSize, format, args);
  va_end(args);
  return text;
}

}  // namespace nvtd
