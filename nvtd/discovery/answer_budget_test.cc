// The budget across all sources: answers and bytes a second, whichever binds first.
#include "nvtd/discovery/answer_budget.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(AnswerBudgetTest, AnswersAndBytesBound) {
  const struct {
    const char* name;
    int answers, bytes, gap_ms;
    int allowed;
  } cases[] = {
      {"a burst of small answers: the count binds", 100, 500, 0, 50},
      {"a burst of large answers: the bytes bind", 100, 4000, 0, 20},
      {"100 a second for 2 s: the burst and a second's refill", 200, 1000, 10, 149},
      {"one answer beyond a second's bytes still goes out alone", 2, 200000, 0, 1},
      {"one a second never waits", 5, 1600, 1000, 5},
  };
  for (const auto& c : cases) {
    AnswerBudget budget;
    int allowed = 0;
    for (int i = 0; i < c.answers; ++i)
      allowed += budget.Allow(size_t(c.bytes), 1000 + i * c.gap_ms);
    EXPECT_EQ(allowed, c.allowed) << c.name;
  }
  AnswerBudget budget;
  for (int i = 0; i < 50; ++i) budget.Allow(1, 5000);
  EXPECT_FALSE(budget.Allow(1, 4000));  // a clock that went back earns nothing
  EXPECT_TRUE(budget.Allow(1, 5020));
}

}  // namespace
}  // namespace nvtd
