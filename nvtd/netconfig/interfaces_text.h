// Lines of the interfaces file picked as `grep WORD` picks them, and a line's second
// field as `awk '{print $2}'` prints it: the DHCP state and the fallback gateway come
// from these.
#pragma once

#include <optional>
#include <string>

namespace nvtd {

// The first line of text that contains word, without its newline. None when no line
// does, or when the text holds a NUL byte (grep then takes the file for binary data and
// prints no line).
std::optional<std::string> first_line_with(const std::string& text, const std::string& word);

// The second field of line, fields being separated by runs of blanks and tabs (leading
// ones skipped); empty when the line has fewer fields.
std::string second_field(const std::string& line);

}  // namespace nvtd
