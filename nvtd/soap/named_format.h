// Reply templates filled by name: a fixed text holds placeholders such as {address} or {port},
// a fill call gives the value for each name, and the result is cut to the same bound the printf
// writers use. Values go in as given (escaped by the caller where needed) and are never scanned.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "nvtd/soap/writers.h"

namespace nvtd {

// One name and its text. Numbers are written as %d writes them; a text ends at its first NUL
// byte, as %s reads it.
struct NamedValue {
  NamedValue(std::string_view name, const char* text);
  NamedValue(std::string_view name, const std::string& text);
  NamedValue(std::string_view name, int number);
  NamedValue(std::string_view name, bool) = delete;  // say "true"/"false" or 1/0 explicitly

  std::string_view name;
  std::string text;
};

// A fill's text and what did not match: placeholders without a value (left in the text as they
// were) and values no placeholder asked for.
struct FilledText {
  std::string text;
  std::vector<std::string> unfilled;
  std::vector<std::string> unused;
};

// Replaces every {name} (lower-case letters, digits, '_') in text with its value; any other
// brace is plain text. The result is cut to buffer_size - 1 characters, like format_bounded.
FilledText fill_named(std::string_view text, std::initializer_list<NamedValue> values,
                      std::size_t buffer_size);

// fill_named's text. A mismatch is a fault of the caller's template or value list: it goes to
// the mismatch reporter (standard error unless replaced) and the text is still returned.
std::string named_text(std::string_view text, std::initializer_list<NamedValue> values,
                       std::size_t buffer_size = kResponseBufferSize);

// Receives the mismatches of named_text; returns the reporter it replaces.
using NamedMismatchReporter = void (*)(std::string_view text, const FilledText& filled);
NamedMismatchReporter set_named_mismatch_reporter(NamedMismatchReporter reporter);

}  // namespace nvtd
