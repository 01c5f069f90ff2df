// GetSystemDateAndTime and SetSystemDateAndTime. The clock and the zone are the system's;
// the only thing kept here is the daylight-saving choice a client sets.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// -1 not set (the local rules decide), 1 true, 0 false. Only SetSystemDateAndTime changes it.
extern int32_t DaylightSavingSetting;

// The values of a SetSystemDateAndTime request; -1 for a missing or non-numeric element.
struct RequestedDateTime {
  int hour = -1, minute = -1, second = -1;
  int year = -1, month = -1, day = -1;
  int daylight = -1;  // "true" 1, "false" or missing 0, anything else -1
};
RequestedDateTime read_requested_date_time(std::string_view body);
// Hour 0..23, minute and second 0..59, year from 1900, month 1..12, day 1..31 (not checked
// against the month) and a daylight-saving choice of true or false.
bool date_time_valid(const RequestedDateTime& requested);

// The system clock's whole seconds now, never behind a reading of the clock taken before.
std::time_t clock_seconds_now();

// GetSystemDateAndTime (open, plain). A zone file that cannot be read gives an empty TZ.
HandlerOutcome handle_get_system_date_and_time(const Request& request, Reply& reply);
// SetSystemDateAndTime (body part): validates, keeps the daylight-saving choice, sets nothing.
HandlerOutcome handle_set_system_date_and_time(const Request& request, Reply& reply);

}  // namespace nvtd
