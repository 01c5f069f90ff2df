// The pace of Notify messages: a burst, then the average rate.
#include "nvtd/events/notify_pace.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

using std::chrono::milliseconds;

TEST(NotifyPace, ABurstThenTheAverageRate) {
  NotifyPace pace;
  PaceClock::time_point start = PaceClock::now();
  struct Step {
    int after_ms;  // since start
    std::size_t wanted;
    std::size_t taken;
  } steps[] = {
      {0, 64, kNotifyBurst}, {0, 5, 0},    {50, 5, 0},
      {100, 5, 1},           {150, 5, 0},  {400, 5, 3},
      {400, 1, 0},           {3000, 2, 2}, {3000, 64, kNotifyBurst - 2},
      {3000, 1, 0},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(pace_take(pace, s.wanted, start + milliseconds(s.after_ms)), s.taken)
        << s.after_ms << " ms, " << s.wanted << " wanted";
  }
  EXPECT_EQ(pace_next(pace), start + milliseconds(3100));
  // Over ten seconds of constant asking, no more than the burst and the rate allow.
  NotifyPace busy;
  std::size_t sent = 0;
  for (int ms = 0; ms < 10000; ms += 7) sent += pace_take(busy, 64, start + milliseconds(ms));
  EXPECT_EQ(sent, std::size_t(kNotifyBurst + 10 * kNotifiesPerSecond - 1));
}

}  // namespace
}  // namespace nvtd
