// System date and time: the GetSystemDateAndTime reply for the time now, and the validation of
// a requested date and time.
#include "nvtd/device/date_time.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>

#include "nvtd/device/date_time_envelope.h"
#include "nvtd/device/device_templates.h"
#include "nvtd/device/tz_rule.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

int32_t DaylightSavingSetting = -1;

namespace {

constexpr std::size_t kValueSize = 16;  // each value up to 15 characters

// A decimal number with optional blanks around it and an optional sign; -1 when the
// element is missing, holds no number or has anything after it.
int requested_number(std::string_view body, const char* name) {
  auto value = element_text(body, name, kValueSize);
  if (!value) return -1;
  const char* begin = value->c_str();
  char* end = nullptr;
  errno = 0;
  long number = strtol(begin, &end, 10);
  if (end == begin || errno == ERANGE || number < -1 || number > 1000000) return -1;
  while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n') ++end;
  return *end == '\0' ? static_cast<int>(number) : -1;
}

}  // namespace

RequestedDateTime read_requested_date_time(std::string_view body) {
  RequestedDateTime r;
  r.hour = requested_number(body, "Hour");
  r.minute = requested_number(body, "Minute");
  r.second = requested_number(body, "Second");
  r.year = requested_number(body, "Year");
  r.month = requested_number(body, "Month");
  r.day = requested_number(body, "Day");
  auto daylight = element_text(body, "DaylightSavings", kValueSize);
  if (!daylight || *daylight == "false") {
    r.daylight = 0;
  } else if (*daylight == "true") {
    r.daylight = 1;
  } else {
    r.daylight = -1;
  }
  return r;
}

bool date_time_valid(const RequestedDateTime& r) {
  return r.hour >= 0 && r.hour <= 23 && r.minute >= 0 && r.minute <= 59 && r.second >= 0 &&
         r.second <= 59 && r.year >= 1900 && r.month >= 1 && r.month <= 12 && r.day >= 1 &&
         r.day <= 31 && r.daylight != -1;
}

// Not time(): that reads the kernel's copy of the seconds, which is updated at the next tick
// and so can still show the second before for a while after it turned.
std::time_t clock_seconds_now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec;
}

HandlerOutcome handle_get_system_date_and_time(const Request&, Reply& reply) {
  std::time_t now = clock_seconds_now();
  // The zone may have been changed since the last request: its rules are read afresh when
  // the zone file changed (the C library's rules too).
  bool reread = false;
  std::string rule = read_tz_rule(kZoneFile, &reread);
  if (reread) tzset();
  std::string envelope = system_date_time_envelope(now, rule, DaylightSavingSetting);
  send_envelope(reply, "%s", envelope.c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_system_date_and_time(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  if (body.find("INVALIDTIMEZONE") != std::string_view::npos) {
    send_catalogue_fault(reply, Fault::kInvalidTimeZone);
    return HandlerOutcome::kAnswered;
  }
  RequestedDateTime requested = read_requested_date_time(body);
  if (!date_time_valid(requested)) {
    send_catalogue_fault(reply, Fault::kInvalidDateTime);
    return HandlerOutcome::kAnswered;
  }
  DaylightSavingSetting = requested.daylight;
  send_envelope(reply, "%s", kSetSystemDateAndTimeEnvelope.c_str());
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
