// Typed lookups in a section text of "key = value" records: the value of a key found at
// the start of a record, quoted or bare, cut to the caller's buffer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nvtd {

// Finds key in text and copies its value (at most capacity - 1 characters) into out,
// NUL-terminated. Returns 0 when found; -1 when not, leaving out exactly as it was.
int find_value(std::string_view text, std::string_view key, char* out, size_t capacity);

// The same into a std::string, cut to capacity - 1 characters; out untouched when missing.
int find_value(std::string_view text, std::string_view key, std::string* out, size_t capacity);

// A base-10 conversion like strtol (blanks and sign accepted, stops at the first
// non-digit, no digits give 0), clamped to the 32-bit range on every build.
int parse_int_value(const char* value);

}  // namespace nvtd
