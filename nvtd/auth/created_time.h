// A UsernameToken's Created value read as the instant it names, so that spellings of one
// instant (zones, trailing zeros of the fraction, blanks around it) count as one token.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nvtd {

struct CreatedTime {
  std::int64_t seconds;  // since the epoch, UTC
  std::string fraction;  // digits after the point without trailing zeros ("" for none)
};

// An xs:dateTime with "Z" or a "+hh:mm"/"-hh:mm" zone within ±14:00, fractions of a second
// allowed, and blanks (space, tab, CR, LF) around it as XML Schema's whitespace collapse
// allows; nullopt for anything else, a time without a zone included.
std::optional<CreatedTime> parse_created(std::string_view text);

}  // namespace nvtd
