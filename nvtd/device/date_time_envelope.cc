// The GetSystemDateAndTime envelope (see date_time_envelope.h).
#include "nvtd/device/date_time_envelope.h"

#include "nvtd/soap/envelope.h"
#include "nvtd/soap/named_format.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

// clang-format off
// A complete envelope without header: {daylight} ("true" or "false"), {tz}, and the {utc} and
// {local} date and time, each a kDateTimeFields.
constexpr auto kSystemDateAndTimeEnvelope = join_text(kTdsTtEnvelopeOpening,
    "<SOAP-ENV:Body><tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime>"
    "<tt:DateTimeType>Manual</tt:DateTimeType><tt:DaylightSavings>{daylight}</tt:DaylightSavings>"
    "<tt:TimeZone><tt:TZ>{tz}</tt:TZ></tt:TimeZone>"
    "<tt:UTCDateTime>{utc}</tt:UTCDateTime>"
    "<tt:LocalDateTime>{local}</tt:LocalDateTime>"
    "</tds:SystemDateAndTime></tds:GetSystemDateAndTimeResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>");

// The time and the date of one broken-down time.
constexpr char kDateTimeFields[] =
    "<tt:Time><tt:Hour>{hour}</tt:Hour><tt:Minute>{minute}</tt:Minute>"
    "<tt:Second>{second}</tt:Second></tt:Time><tt:Date><tt:Year>{year}</tt:Year>"
    "<tt:Month>{month}</tt:Month><tt:Day>{day}</tt:Day></tt:Date>";
// clang-format on

std::string date_time_fields(const std::tm& t) {
  return named_text(kDateTimeFields, {{"hour", t.tm_hour},
                                      {"minute", t.tm_min},
                                      {"second", t.tm_sec},
                                      {"year", t.tm_year + 1900},
                                      {"month", t.tm_mon + 1},
                                      {"day", t.tm_mday}});
}

}  // namespace

std::string system_date_time_envelope(std::time_t now, const std::string& tz_rule,
                                      int32_t daylight_setting) {
  std::tm utc{};
  std::tm local{};
  gmtime_r(&now, &utc);
  localtime_r(&now, &local);
  bool daylight = daylight_setting == -1 ? local.tm_isdst > 0 : daylight_setting == 1;
  return named_text(kSystemDateAndTimeEnvelope.view(), {{"daylight", daylight ? "true" : "false"},
                                                        {"tz", xml_safe(tz_rule)},
                                                        {"utc", date_time_fields(utc)},
                                                        {"local", date_time_fields(local)}});
}

}  // namespace nvtd
