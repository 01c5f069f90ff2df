// Texts echoed into responses, in attributes or between tags: raw request values (entities not
// decoded, cut to a buffer) and file texts (TZ rules hold "<" and ">") are written so that
// nothing ends an attribute or element early and every response stays one document.
#pragma once

#include <string>
#include <string_view>

namespace nvtd {

// "<", ">", "\"" and "'" as entity references; "&" kept when it starts a complete predefined or
// valid numeric reference (the request's own escaping), else "&amp;"; control characters that
// XML does not allow become "?".
std::string xml_safe(std::string_view raw);

}  // namespace nvtd
