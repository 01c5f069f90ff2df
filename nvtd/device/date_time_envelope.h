// The GetSystemDateAndTime envelope: one reading of the clock written out as UTC and local
// date and time, with the zone rule and the daylight-saving state.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace nvtd {

static_assert(sizeof(std::time_t) >= 8, "times past 2038 need a 64-bit time_t (_TIME_BITS=64)");

// The envelope for the time now: UTC and local time (local from the system's zone rules), the
// given TZ rule (escaped for XML), and DaylightSavings from the setting (1 true, 0 false) or,
// when it is -1, from the local rules.
std::string system_date_time_envelope(std::time_t now, const std::string& tz_rule,
                                      int32_t daylight_setting);

}  // namespace nvtd
