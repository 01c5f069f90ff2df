// Time and duration texts of the event service: PT<n>S / PT<n>M durations, the UTC
// stamps of SOAP bodies and the Date header of pull answers. Pure; no clocks read here.
#pragma once

#include <ctime>
#include <string>

namespace nvtd {

// "PT" digits "S" gives the seconds, "PT" digits "M" sixty times that; anything else
// after "PT" (and a value beyond 32 bits) gives -1. Callers pass only texts starting "PT".
int ParseDuration(const char* text);

// "%Y-%m-%dT%H:%M:%SZ" in UTC.
std::string format_utc_time(std::time_t when);

// "%a, %b %d %Y %H:%M:%S" in UTC (the Date header of pull answers).
std::string format_http_date(std::time_t when);

// Reads an absolute UTC time "YYYY-MM-DDTHH:MM:SS[.frac]Z"; false when the text is not one.
bool parse_utc_time(const char* text, std::time_t* out);

}  // namespace nvtd
