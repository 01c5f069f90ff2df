// Time and duration texts of the event service: xs:duration and xs:dateTime as clients send
// them for termination times and Timeouts, the UTC stamps of SOAP bodies and the Date header
// of pull answers. Pure; no clocks read here.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace nvtd {

// An xs:duration ("PT30S", "PT1M30.5S", "P1DT2H", "-PT5S") in whole seconds (fractions are
// dropped): 0 and *seconds, or -1 when the text is not one. Longer than INT32_MAX seconds
// reads as INT32_MAX (negative ones as -INT32_MAX): callers cut it to their own bound.
int parse_xs_duration(const std::string& text, int64_t* seconds);

// An xs:dateTime ("2040-01-01T00:00:00Z", with fractions, "+01:00"/"-05:30" offsets; a time
// without a zone is taken as UTC): 0 and *when, or -1 when the text is not one.
int parse_xs_datetime(const std::string& text, std::time_t* when);

// A termination time in either form, as an absolute time (a duration counts from now):
// 0 and *until, or -1 when the text is neither form.
int parse_termination(const std::string& text, std::time_t now, std::time_t* until);

// "%Y-%m-%dT%H:%M:%SZ" in UTC.
std::string format_utc_time(std::time_t when);

// "%a, %b %d %Y %H:%M:%S" in UTC (the Date header of pull answers).
std::string format_http_date(std::time_t when);

}  // namespace nvtd
