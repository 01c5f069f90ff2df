// The per-source answer limit: the burst, the refill, other sources, and a full table.
#include "nvtd/discovery/source_limiter.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

int Allowed(SourceLimiter& limiter, uint32_t source, int64_t now_ms, int tries) {
  int allowed = 0;
  for (int i = 0; i < tries; ++i) allowed += limiter.Allow(source, now_ms);
  return allowed;
}

TEST(SourceLimiterTest, BurstThenRefillPerSource) {
  SourceLimiter limiter;
  EXPECT_EQ(Allowed(limiter, 1, 0, 100), SourceLimiter::kBurst);
  EXPECT_EQ(Allowed(limiter, 2, 0, 1), 1);    // another source is not held back
  EXPECT_EQ(Allowed(limiter, 1, 100, 5), 1);  // 100 ms earn one answer at 10 a second
  EXPECT_EQ(Allowed(limiter, 1, 1100, 100), SourceLimiter::kPerSecond);
  EXPECT_EQ(Allowed(limiter, 1, 1000000, 100), SourceLimiter::kBurst);  // capped at the burst
  EXPECT_EQ(Allowed(limiter, 1, 0, 5), 0);  // a clock that went back earns nothing
}

TEST(SourceLimiterTest, FullTableGivesTheLeastRecentlySeenPlaceAway) {
  SourceLimiter limiter;
  EXPECT_EQ(Allowed(limiter, 1, 0, 100), SourceLimiter::kBurst);
  for (uint32_t s = 2; s <= SourceLimiter::kSources; ++s) limiter.Allow(s, 10);
  EXPECT_EQ(Allowed(limiter, 1, 20, 1), 0);  // still remembered: the table holds kSources
  limiter.Allow(1000, 30);                   // takes source 2's place, not source 1's
  EXPECT_EQ(Allowed(limiter, 1, 40, 1), 0);
  EXPECT_EQ(Allowed(limiter, 2, 40, 1), 1);  // forgotten, so fresh again
}

}  // namespace
}  // namespace nvtd
