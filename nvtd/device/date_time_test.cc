#include "nvtd/device/date_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/device/date_time_envelope.h"

namespace nvtd {
namespace {

// Runs with the given TZ for the process's local time, and restores it afterwards.
class LocalZone {
 public:
  explicit LocalZone(const char* tz) {
    const char* old = getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~LocalZone() {
    if (had_) {
      setenv("TZ", old_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

std::string between(const std::string& text, const std::string& open, const std::string& close,
                    std::size_t from = 0) {
  std::size_t a = text.find(open, from);
  if (a == std::string::npos) return "(none)";
  a += open.size();
  return text.substr(a, text.find(close, a) - a);
}

TEST(SystemDateTime, DatesAfter2038FormatAsFullYears) {
  LocalZone zone("UTC0");
  // 2100-03-01 12:34:56 UTC: beyond what a 32-bit time_t holds.
  std::time_t when = 4107587696;
  std::string reply = system_date_time_envelope(when, "UTC0", -1);
  std::string utc = between(reply, "<tt:UTCDateTime>", "</tt:UTCDateTime>");
  EXPECT_EQ(utc,
            "<tt:Time><tt:Hour>12</tt:Hour><tt:Minute>34</tt:Minute><tt:Second>56</tt:Second>"
            "</tt:Time><tt:Date><tt:Year>2100</tt:Year><tt:Month>3</tt:Month><tt:Day>1</tt:Day>"
            "</tt:Date>");
  EXPECT_EQ(between(reply, "<tt:LocalDateTime>", "</tt:LocalDateTime>"), utc);
  EXPECT_EQ(between(reply, "<tt:TZ>", "</tt:TZ>"), "UTC0");
}

TEST(SystemDateTime, LocalTimeAndDaylightSavingFollowTheZoneUnlessSet) {
  LocalZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  std::time_t summer = 2140000000;  // 2037-10-24, the last day of summer time
  std::time_t winter = 2150000000;  // 2038-02-17, past 2^31 seconds
  std::string s = system_date_time_envelope(summer, "CET-1CEST,M3.5.0,M10.5.0/3", -1);
  EXPECT_EQ(between(s, "<tt:DaylightSavings>", "<"), "true");
  int utc_hour = std::stoi(between(s, "<tt:Hour>", "<"));
  int local_hour = std::stoi(between(s, "<tt:Hour>", "<", s.find("<tt:LocalDateTime>")));
  EXPECT_EQ((utc_hour + 2) % 24, local_hour);
  std::string w = system_date_time_envelope(winter, "", -1);
  EXPECT_EQ(between(w, "<tt:DaylightSavings>", "<"), "false");
  EXPECT_EQ(between(w, "<tt:Year>", "<"), "2038");
  EXPECT_EQ(between(system_date_time_envelope(summer, "", 0), "<tt:DaylightSavings>", "<"),
            "false");
  EXPECT_EQ(between(system_date_time_envelope(winter, "", 1), "<tt:DaylightSavings>", "<"), "true");
}

TEST(SystemDateTime, TheRuleIsEscapedForXml) {
  LocalZone zone("UTC0");
  std::string reply = system_date_time_envelope(0, "<+04>-4", -1);
  EXPECT_EQ(between(reply, "<tt:TZ>", "</tt:TZ>"), "&lt;+04&gt;-4");
}

std::string request(const std::string& date_time, const std::string& extra = "") {
  return "Body><tds:SetSystemDateAndTime><tds:DateTimeType>Manual</tds:DateTimeType>" + extra +
         "<tds:UTCDateTime>" + date_time + "</tds:UTCDateTime></tds:SetSystemDateAndTime>";
}

std::string date_time(const std::string& hour, const std::string& minute, const std::string& second,
                      const std::string& year, const std::string& month, const std::string& day) {
  auto e = [](const char* name, const std::string& v) {
    return v == "-" ? std::string() : "<tt:" + std::string(name) + ">" + v + "</tt:" + name + ">";
  };
  return "<tt:Time>" + e("Hour", hour) + e("Minute", minute) + e("Second", second) +
         "</tt:Time><tt:Date>" + e("Year", year) + e("Month", month) + e("Day", day) + "</tt:Date>";
}

bool valid(const std::string& body) {
  return date_time_valid(read_requested_date_time(body));
}

// A client that reads its clock, then asks for the camera's, must not get an earlier second.
// The reads go on from 20 ms before a turn of the second to 20 ms after it (two ticks at the
// slowest tick rate), at two turns: a clock copied at each tick lags there.
TEST(SystemDateTime, TheClockIsNeverBehindAnEarlierRead) {
  int behind = 0;
  for (int turn = 0; turn < 2; ++turn) {
    timespec before{};
    clock_gettime(CLOCK_REALTIME, &before);
    const std::time_t start = before.tv_sec;
    std::this_thread::sleep_for(std::chrono::nanoseconds(980'000'000 - before.tv_nsec));
    while (before.tv_sec == start || (before.tv_sec == start + 1 && before.tv_nsec < 20'000'000)) {
      clock_gettime(CLOCK_REALTIME, &before);
      if (clock_seconds_now() < before.tv_sec) ++behind;
    }
  }
  EXPECT_EQ(behind, 0);
}

TEST(RequestedDateTime, RangesAreChecked) {
  EXPECT_TRUE(valid(request(date_time("0", "0", "0", "1900", "1", "1"))));
  EXPECT_TRUE(valid(request(date_time("23", "59", "59", "2040", "12", "31"))));
  EXPECT_TRUE(valid(request(date_time("10", "0", "0", "2026", "2", "31"))));  // no month check
  const std::vector<std::string> refused = {
      date_time("24", "0", "0", "2026", "1", "1"),  date_time("0", "60", "0", "2026", "1", "1"),
      date_time("0", "0", "60", "2026", "1", "1"),  date_time("0", "0", "0", "1899", "1", "1"),
      date_time("0", "0", "0", "2026", "0", "1"),   date_time("0", "0", "0", "2026", "13", "1"),
      date_time("0", "0", "0", "2026", "1", "0"),   date_time("0", "0", "0", "2026", "1", "32"),
      date_time("-", "0", "0", "2026", "1", "1"),   date_time("0", "0", "0", "2026", "1", "-"),
      date_time("ten", "0", "0", "2026", "1", "1"), date_time("1x", "0", "0", "2026", "1", "1"),
      date_time("", "0", "0", "2026", "1", "1"),
  };
  for (const auto& dt : refused) EXPECT_FALSE(valid(request(dt))) << dt;
}

TEST(RequestedDateTime, DaylightSavingsMustBeTrueFalseOrMissing) {
  std::string dt = date_time("1", "2", "3", "2026", "6", "7");
  auto with = [&](const std::string& v) {
    return request(dt, "<tds:DaylightSavings>" + v + "</tds:DaylightSavings>");
  };
  EXPECT_EQ(read_requested_date_time(request(dt)).daylight, 0);
  EXPECT_EQ(read_requested_date_time(with("true")).daylight, 1);
  EXPECT_EQ(read_requested_date_time(with("false")).daylight, 0);
  EXPECT_FALSE(valid(with("maybe")));
  EXPECT_FALSE(valid(with("TRUE")));
  // "Day" is not found inside "DaylightSavings".
  EXPECT_EQ(read_requested_date_time(with("true")).day, 7);
}

class SetDateTimeHandler : public ::testing::Test {
 protected:
  void SetUp() override { DaylightSavingSetting = -1; }
  void TearDown() override { DaylightSavingSetting = -1; }
  std::string call(const std::string& body) {
    Request request;
    request.body = body;
    OutputCapture out;
    handle_set_system_date_and_time(request, out.reply());
    return out.take();
  }
};

TEST_F(SetDateTimeHandler, ValidRequestKeepsTheDaylightChoiceOnly) {
  std::string reply = call(request(date_time("1", "2", "3", "2026", "6", "7"),
                                   "<tds:DaylightSavings>true</tds:DaylightSavings>"));
  EXPECT_EQ(reply.find("HTTP/1.0 400"), std::string::npos);
  EXPECT_NE(reply.find("<tds:SetSystemDateAndTimeResponse>"), std::string::npos);
  EXPECT_NE(reply.find("<SOAP-ENV:Header></SOAP-ENV:Header>"), std::string::npos);
  EXPECT_EQ(DaylightSavingSetting, 1);
}

TEST_F(SetDateTimeHandler, InvalidTimeZoneComesFirstAndChangesNothing) {
  std::string reply = call(request(date_time("1", "2", "3", "2026", "6", "7"),
                                   "<tds:DaylightSavings>true</tds:DaylightSavings>"
                                   "<tds:TimeZone><tt:TZ>INVALIDTIMEZONE</tt:TZ></tds:TimeZone>"));
  EXPECT_EQ(reply.rfind("HTTP/1.0 400 Bad Request\r\nContent-Length: ", 0), 0u);
  EXPECT_NE(reply.find("ter:InvalidTimeZone"), std::string::npos);
  EXPECT_EQ(DaylightSavingSetting, -1);
}

TEST_F(SetDateTimeHandler, InvalidDateIsRefusedWith400) {
  std::string reply = call(request(date_time("24", "0", "0", "2026", "1", "1")));
  EXPECT_EQ(reply.rfind("HTTP/1.0 400 Bad Request\r\n", 0), 0u);
  EXPECT_NE(reply.find("ter:InvalidDateTime"), std::string::npos);
  EXPECT_EQ(DaylightSavingSetting, -1);
}

}  // namespace
}  // namespace nvtd
