// The log limiter: one line a second for each subject with the count left out, and a fixed
// table however many subjects complain.
#include "nvtd/core/log_limiter.h"

#include <gtest/gtest.h>

#include <string>

namespace nvtd {
namespace {

constexpr std::int64_t kT = 1796637600000;

TEST(LogLimiter, OneLineASecondForEachSubjectWithTheCountLeftOut) {
  struct Step {
    const char* subject;
    std::int64_t at_ms;
    bool log;
    std::uint32_t left_out;
  };
  const Step steps[] = {
      {"viewer", 0, true, 0},     {"viewer", 1, false, 0},    {"viewer", 999, false, 0},
      {"10.0.0.9", 500, true, 0}, {"viewer", 1000, true, 2},  {"viewer", 1500, false, 0},
      {"viewer", 5000, true, 1},  {"viewer", 5001, false, 0}, {"viewer", 4000, true, 1},
      {"", 0, true, 0},           {"", 10, false, 0},
  };
  LogLimiter limiter;
  for (const Step& s : steps) {
    LogTurn turn = limiter.turn(s.subject, kT + s.at_ms);
    EXPECT_EQ(turn.log, s.log) << s.subject << " at " << s.at_ms;
    EXPECT_EQ(turn.left_out, s.left_out) << s.subject << " at " << s.at_ms;
  }
  EXPECT_EQ(left_out_note(LogTurn{true, 0}), "");
  EXPECT_EQ(left_out_note(LogTurn{true, 7}), " (7 more like this left out)");
}

TEST(LogLimiter, ManySubjectsShareTheLastPlace) {
  LogLimiter limiter;
  // A thousand subjects a millisecond apart: each place is held for its second, the rest
  // share one line.
  int lines = 0;
  for (int i = 0; i < 1000; ++i) lines += limiter.turn("peer" + std::to_string(i), kT + i).log;
  EXPECT_EQ(lines, int(LogLimiter::kPlaces));
  // The first subjects keep their places; a second on, places are taken by new subjects, and
  // the lines stay as few.
  EXPECT_FALSE(limiter.turn("peer0", kT + 999).log);
  lines = 0;
  for (int i = 0; i < 1000; ++i) lines += limiter.turn("next" + std::to_string(i), kT + 2000).log;
  EXPECT_EQ(lines, int(LogLimiter::kPlaces));
  // Subjects longer than a place holds are compared on their first 47 bytes.
  const std::string long_name(60, 'a');
  EXPECT_TRUE(limiter.turn(long_name, kT + 10000).log);
  EXPECT_FALSE(limiter.turn(long_name.substr(0, 47) + "b", kT + 10001).log);
}

}  // namespace
}  // namespace nvtd
