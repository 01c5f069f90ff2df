// Makes a text safe to place between an element's tags: request values are raw (entities
// not decoded, cut to a buffer) and file texts may hold "<" or ">" (as TZ rules do).
#pragma once

#include <string>
#include <string_view>

namespace nvtd {

// "<" and ">" become "&lt;" and "&gt;"; an "&" that begins a complete entity or character
// reference is kept (the text is already escaped there), any other "&" becomes "&amp;";
// control characters that XML does not allow are dropped.
std::string xml_safe_text(std::string_view raw);

}  // namespace nvtd
