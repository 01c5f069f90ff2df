// The C library and the kernel as the build sees them keep times past 2038: 64-bit time_t
// and file offsets (on the 32-bit camera only through _TIME_BITS=64), calendar conversions
// both ways, local time under zone rules, and file times through the system calls.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

static_assert(sizeof(time_t) == 8, "build with _TIME_BITS=64: cameras outlive 2038");
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");

namespace {

constexpr time_t kPast31Bits = 2147483648LL;      // 2038-01-19T03:14:08Z
constexpr time_t kPast32Bits = 4294967296LL + 5;  // 2106-02-07T06:28:21Z
constexpr time_t kSummer2040 = 2224843200LL;      // 2040-07-02T12:00:00Z

std::string utc_text(time_t when) {
  std::tm tm{};
  if (gmtime_r(&when, &tm) == nullptr) return "gmtime failed";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

TEST(Time64, UtcStampsPast2038AndTheirInverse) {
  EXPECT_EQ(utc_text(kPast31Bits - 1), "2038-01-19T03:14:07Z");
  EXPECT_EQ(utc_text(kPast31Bits), "2038-01-19T03:14:08Z");
  EXPECT_EQ(utc_text(kPast32Bits), "2106-02-07T06:28:21Z");
  for (time_t when : {kPast31Bits, kPast32Bits, kSummer2040}) {
    std::tm tm{};
    ASSERT_NE(gmtime_r(&when, &tm), nullptr);
    EXPECT_EQ(timegm(&tm), when);
  }
}

// A zone given by its rule, so no zone files are needed (the emulator sees the host's).
class LocalTime : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    saved_ = tz ? tz : "";
    had_ = tz != nullptr;
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
  }
  void TearDown() override {
    if (had_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  std::string saved_;
  bool had_ = false;
};

TEST_F(LocalTime, SummerTimePast2038FollowsTheRules) {
  std::tm tm{};
  ASSERT_NE(localtime_r(&kSummer2040, &tm), nullptr);
  EXPECT_EQ(tm.tm_year + 1900, 2040);
  EXPECT_EQ(tm.tm_hour, 14);
  EXPECT_GT(tm.tm_isdst, 0);
  tm.tm_isdst = -1;
  EXPECT_EQ(mktime(&tm), kSummer2040);

  const time_t winter = kPast32Bits;
  ASSERT_NE(localtime_r(&winter, &tm), nullptr);
  EXPECT_EQ(tm.tm_hour, 7);
  EXPECT_EQ(tm.tm_isdst, 0);
}

TEST(Time64, FileTimesPast2038SurviveTheSystemCalls) {
  char path[] = "/tmp/time64.XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  const timespec times[2] = {{kPast31Bits + 7, 0}, {kPast32Bits, 250000000}};
  const int set = futimens(fd, times);
  struct stat st {};
  const int got = fstat(fd, &st);
  close(fd);
  unlink(path);
  ASSERT_EQ(set, 0);
  ASSERT_EQ(got, 0);
  EXPECT_EQ(st.st_mtim.tv_sec, kPast32Bits);
  EXPECT_EQ(st.st_mtim.tv_nsec, 250000000);
}

TEST(Time64, DifferencesAcross2038DoNotWrap) {
  // What expiry and renewal arithmetic does: a deadline an hour after a moment just before
  // 2^31 seconds, compared with a moment after it.
  const time_t now = kPast31Bits - 10;
  const time_t deadline = now + 3600;
  EXPECT_GT(deadline, now);
  EXPECT_EQ(difftime(deadline, kPast31Bits), 3590.0);
  EXPECT_EQ(utc_text(deadline), "2038-01-19T04:13:58Z");
}

}  // namespace
