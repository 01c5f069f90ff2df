// The time-zone rule of the system's zone file: the POSIX TZ text that zone files of format
// version 2 and later carry as their last line.
#pragma once

#include <string>
#include <string_view>

namespace nvtd {

inline constexpr char kZoneFile[] = "/etc/localtime";
// At most this much of the file's end is read: the rule is its last line.
inline constexpr std::size_t kZoneFileLimit = 20000;

// The text between the last two line feeds of a zone file. Empty when the file does not end
// in a line feed, has no line feed before the last line (no version-2 footer), or the line
// holds anything but printable ASCII (it is then not a rule but zone data).
std::string tz_rule_from_zone_text(std::string_view file);

// The rule of the zone file at path (its last kZoneFileLimit bytes); empty when the file
// cannot be read. The file is read again only when it changed; *reread (when given) tells
// whether this call did not answer from the last reading.
std::string read_tz_rule(const char* path = kZoneFile, bool* reread = nullptr);

}  // namespace nvtd
