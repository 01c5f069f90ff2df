// The per-source answer limit: the burst, the refill, other sources, a full table, and the
// share of the active sources.
#include "nvtd/discovery/source_limiter.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

int allowed_count(SourceLimiter& limiter, uint32_t source, int64_t now_ms, int tries) {
  int allowed = 0;
  for (int i = 0; i < tries; ++i) allowed += limiter.Allow(source, now_ms);
  return allowed;
}

TEST(SourceLimiterTest, BurstThenRefillPerSource) {
  SourceLimiter limiter;
  EXPECT_EQ(allowed_count(limiter, 1, 0, 100), SourceLimiter::kBurst);
  EXPECT_EQ(allowed_count(limiter, 2, 0, 1), 1);    // another source is not held back
  EXPECT_EQ(allowed_count(limiter, 1, 100, 5), 1);  // 100 ms earn one answer at 10 a second
  EXPECT_EQ(allowed_count(limiter, 1, 1100, 100), SourceLimiter::kPerSecond);
  EXPECT_EQ(allowed_count(limiter, 1, 1000000, 100), SourceLimiter::kBurst);  // capped at the burst
  EXPECT_EQ(allowed_count(limiter, 1, 0, 5), 0);  // a clock that went back earns nothing
}

TEST(SourceLimiterTest, FullTableGivesTheLeastRecentlySeenPlaceAway) {
  SourceLimiter limiter;
  EXPECT_EQ(allowed_count(limiter, 1, 0, 100), SourceLimiter::kBurst);
  for (uint32_t s = 2; s <= SourceLimiter::kSources; ++s) limiter.Allow(s, 10);
  EXPECT_EQ(allowed_count(limiter, 1, 20, 1), 0);  // still remembered: the table holds kSources
  limiter.Allow(1000, 30);                         // takes source 2's place, not source 1's
  EXPECT_EQ(allowed_count(limiter, 1, 40, 1), 0);
  EXPECT_EQ(allowed_count(limiter, 2, 40, 1), 1);  // forgotten, so fresh again
}

TEST(SourceLimiterTest, ActiveSourcesShareTheAnswersOfASecond) {
  const struct {
    const char* name;
    int sources, probes_per_second;
    int least, most;  // answers to all of them in the fifth second
  } cases[] = {
      {"one source probing fast", 1, 100, 10, 10},
      {"four share less than the whole", 4, 100, 40, 40},
      {"eight share kSharedPerSecond", 8, 100, 39, 40},
      {"forty taking turns at 600 a second", 40, 15, 38, 40},
      {"two quiet clients are all answered", 2, 3, 6, 6},
  };
  for (const auto& c : cases) {
    SourceLimiter limiter;
    int answered = 0;
    const int probes = 5 * c.sources * c.probes_per_second;
    for (int i = 0; i < probes; ++i) {
      int64_t now = int64_t(i) * 1000 / (c.sources * c.probes_per_second);
      bool allowed = limiter.Allow(uint32_t(1 + i % c.sources), now);
      if (now >= 4000) answered += allowed;
    }
    EXPECT_GE(answered, c.least) << c.name;
    EXPECT_LE(answered, c.most) << c.name;
  }
}

}  // namespace
}  // namespace nvtd
