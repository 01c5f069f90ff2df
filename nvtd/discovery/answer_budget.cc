// The two buckets across all sources: both refilled from the time since the last answer
// asked for, capped at one second's worth; an answer takes from both or from neither.
#include "nvtd/discovery/answer_budget.h"

#include <algorithm>

namespace nvtd {
namespace {

constexpr int64_t kMilli = 1000;
constexpr int64_t kFullAnswers = AnswerBudget::kAnswersPerSecond * kMilli;
constexpr int64_t kFullBytes = AnswerBudget::kBytesPerSecond * kMilli;

}  // namespace

bool AnswerBudget::Allow(std::size_t bytes, int64_t now_ms) {
  if (!started_) {
    started_ = true;
    seen_ms_ = now_ms;
    milli_answers_ = kFullAnswers;
    milli_bytes_ = kFullBytes;
  }
  // A clock that went back adds nothing; a gap of a second or more fills both.
  int64_t elapsed = std::clamp<int64_t>(now_ms - seen_ms_, 0, kMilli);
  seen_ms_ = std::max(seen_ms_, now_ms);
  milli_answers_ = std::min(kFullAnswers, milli_answers_ + elapsed * kAnswersPerSecond);
  milli_bytes_ = std::min(kFullBytes, milli_bytes_ + elapsed * kBytesPerSecond);
  int64_t cost = int64_t(std::min<std::size_t>(bytes, size_t(kBytesPerSecond))) * kMilli;
  if (milli_answers_ < kMilli || milli_bytes_ < cost) return false;
  milli_answers_ -= kMilli;
  milli_bytes_ -= cost;
  return true;
}

}  // namespace nvtd
