#include "soundtap/capture_params.h"

#include <gtest/gtest.h>

namespace soundtap {
namespace {

TEST(BufferTimes, LongBuffersAreCutToHalfASecond) {
  const BufferTimes t = choose_buffer_times(2000000);
  EXPECT_EQ(t.buffer_us, 500000u);
  EXPECT_EQ(t.period_us, 125000u);
  EXPECT_EQ(choose_buffer_times(500001).buffer_us, 500000u);
}

TEST(BufferTimes, ShortBuffersKeepTheMaximumInQuarters) {
  const BufferTimes t = choose_buffer_times(200000);
  EXPECT_EQ(t.buffer_us, 200000u);
  EXPECT_EQ(t.period_us, 50000u);
  EXPECT_EQ(choose_buffer_times(500000).period_us, 125000u);
  EXPECT_EQ(choose_buffer_times(1003).period_us, 250u);  // integer division
}

}  // namespace
}  // namespace soundtap
