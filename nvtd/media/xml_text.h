// Request values echoed into responses. Values are read raw from the request (entities not
// decoded), so they are mostly valid XML text already; what could end an attribute or an
// element early is written as an entity reference, so every response stays one document.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace nvtd {

// "<", ">", "\"" and "'" as entity references; "&" kept when it starts a complete predefined or
// valid numeric reference (the request's own escaping), else "&amp;"; control characters that
// XML does not allow become "?".
std::string xml_safe(std::string_view raw);

// printf into a string of any length (templates are fixed; values are arguments).
std::string strprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace nvtd
