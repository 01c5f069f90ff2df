// Durations and time stamps of the event service.
#include "nvtd/events/time_text.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(ParseDuration, SecondsMinutesAndEverythingElse) {
  struct Case {
    const char* text;
    int seconds;
  } cases[] = {{"PT30S", 30},       {"PT2M", 120}, {"PT0S", 0},
               {"PT1H", -1},        {"PT", -1},    {"PTS", -1},
               {"PT5", -1},         {"PT-5S", -1}, {"PT99999999999S", -1},
               {"PT40000000M", -1}, {"PT10Sx", 10}};
  for (const Case& c : cases) EXPECT_EQ(ParseDuration(c.text), c.seconds) << c.text;
}

TEST(TimeText, StampsAfter2038ComeOutRight) {
  static_assert(sizeof(std::time_t) >= 8, "time_t must be 64 bits (_TIME_BITS=64)");
  EXPECT_EQ(format_utc_time(0), "1970-01-01T00:00:00Z");
  EXPECT_EQ(format_utc_time(2208988800), "2040-01-01T00:00:00Z");
  EXPECT_EQ(format_utc_time(2147483647 + 1LL), "2038-01-19T03:14:08Z");
  EXPECT_EQ(format_http_date(2208988800), "Sun, Jan 01 2040 00:00:00");
}

TEST(TimeText, AbsoluteTimesParse) {
  std::time_t when = 0;
  ASSERT_TRUE(parse_utc_time("2040-01-01T00:00:00Z", &when));
  EXPECT_EQ(when, 2208988800);
  ASSERT_TRUE(parse_utc_time("2040-01-01T00:00:10.250Z", &when));
  EXPECT_EQ(when, 2208988810);
  EXPECT_FALSE(parse_utc_time("2040-01-01T00:00:00", &when));
  EXPECT_FALSE(parse_utc_time("2040-01-01T00:00:00+01:00", &when));
  EXPECT_FALSE(parse_utc_time("tomorrowZ", &when));
}

}  // namespace
}  // namespace nvtd
