// Reads single values out of a SOAP request without an XML parser: the text of the first
// element with a given local name, whatever its namespace prefix, cut to a buffer size.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace nvtd {

// Finds the first element of `text` (only its first `length` bytes are read) whose local
// name is `name` and copies at most size - 1 bytes of its raw character data (entities not
// decoded, nested markup kept) to `out`, NUL-terminated. Returns `out`, or nullptr when no
// such element is found. A self-closing tag never matches.
const char* get_element_text(const char* text, int length, const char* name, char* out, int size);

// The same search, returning the value as a string of at most size - 1 bytes.
std::optional<std::string> element_text(std::string_view text, std::string_view name,
                                        std::size_t size);

// Byte offset of the first element value found as above, with its extent; used by the
// handlers that walk repeated elements. Returns false when there is none.
struct ElementSpan {
  std::size_t value_begin;  // first byte of the character data
  std::size_t value_end;    // the "<" of the end tag (or value_begin when none precedes it)
  std::size_t end_match;    // where the second occurrence of the name (the end tag) starts
};
bool find_element(std::string_view text, std::string_view name, ElementSpan* span);

}  // namespace nvtd
