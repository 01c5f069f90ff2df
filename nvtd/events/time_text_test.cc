// Durations, absolute times and time stamps of the event service.
#include "nvtd/events/time_text.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(TimeText, Durations) {
  struct Case {
    const char* text;
    int rc;
    int64_t seconds;
  } cases[] = {
      {"PT30S", 0, 30},
      {"PT2M", 0, 120},
      {"PT1H", 0, 3600},
      {"PT0S", 0, 0},
      {"PT1M30S", 0, 90},
      {"PT10.500S", 0, 10},
      {"P1DT1S", 0, 86401},
      {"P1D", 0, 86400},
      {"-PT5S", 0, -5},
      {"P1Y", 0, 31536000},
      {"PT", -1, 0},
      {"P", -1, 0},
      {"PTS", -1, 0},
      {"PT5", -1, 0},
      {"PT-5S", -1, 0},
      {"PT10Sx", -1, 0},
      {"PT1.5M", -1, 0},
      {"30", -1, 0},
      {"", -1, 0},
      {"P1H", -1, 0},
      {"PT1D", -1, 0},
      // Beyond 32 bits: read as the longest, never overflowing on the way.
      {"P68Y", 0, 2144448000},
      {"P100Y", 0, INT32_MAX},
      {"P333333333331Y", 0, INT32_MAX},
      {"-P333333333331Y", 0, -INT32_MAX},
      {"P999999999999Y999999999999M999999999999DT999999999999H", 0, INT32_MAX},
      {"PT99999999999S", 0, INT32_MAX},
      {"PT1234567890123456789012345S", 0, INT32_MAX},
      {"P2147483647DT2147483647S", 0, INT32_MAX},
  };
  for (const Case& c : cases) {
    int64_t seconds = 0;
    EXPECT_EQ(parse_xs_duration(c.text, &seconds), c.rc) << c.text;
    if (c.rc == 0) {
      EXPECT_EQ(seconds, c.seconds) << c.text;
    }
  }
}

TEST(TimeText, AbsoluteTimes) {
  struct Case {
    const char* text;
    int rc;
    std::time_t when;
  } cases[] = {
      {"2040-01-01T00:00:00Z", 0, 2208988800},
      {"2040-01-01T00:00:10.250Z", 0, 2208988810},
      {"2040-01-01T01:00:00+01:00", 0, 2208988800},
      {"2039-12-31T19:00:00-05:00", 0, 2208988800},
      {"2040-01-01T00:00:00", 0, 2208988800},
      {"2040-01-01T00:00:00+1:00", -1, 0},
      {"2040-01-01T00:00:00Zx", -1, 0},
      {"2040-01-01T00:00:00.Z", -1, 0},
      {"tomorrowZ", -1, 0},
      {"PT5S", -1, 0},
  };
  for (const Case& c : cases) {
    std::time_t when = 0;
    EXPECT_EQ(parse_xs_datetime(c.text, &when), c.rc) << c.text;
    if (c.rc == 0) {
      EXPECT_EQ(when, c.when) << c.text;
    }
  }
  std::time_t until = 0;
  ASSERT_EQ(parse_termination("PT1M", 1000, &until), 0);
  EXPECT_EQ(until, 1060);
  ASSERT_EQ(parse_termination("2040-01-01T00:00:00Z", 1000, &until), 0);
  EXPECT_EQ(until, 2208988800);
  EXPECT_EQ(parse_termination("soon", 1000, &until), -1);
}

TEST(TimeText, StampsAfter2038ComeOutRight) {
  static_assert(sizeof(std::time_t) >= 8, "time_t must be 64 bits (_TIME_BITS=64)");
  EXPECT_EQ(format_utc_time(0), "1970-01-01T00:00:00Z");
  EXPECT_EQ(format_utc_time(2208988800), "2040-01-01T00:00:00Z");
  EXPECT_EQ(format_utc_time(2147483647 + 1LL), "2038-01-19T03:14:08Z");
  EXPECT_EQ(format_http_date(2208988800), "Sun, Jan 01 2040 00:00:00");
}

}  // namespace
}  // namespace nvtd
