// The numbers on lensctl's command line: steps, counts, register addresses and values.
#pragma once

#include <cstdint>

namespace lensctl {

// Reads a decimal number of digits only (no sign, no blanks, no other characters) and
// keeps its low 8 bits, as the expander takes them. False for anything else, including
// negative numbers and numbers too large to read.
bool parse_byte_argument(const char* text, uint8_t* value);

}  // namespace lensctl
