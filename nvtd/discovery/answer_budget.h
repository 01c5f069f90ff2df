// What the camera sends to all sources together: answers and bytes each second, token buckets
// of one second's worth, so however many source addresses take turns the reflection stays
// within kAnswersPerSecond answers and kBytesPerSecond bytes a second.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nvtd {

class AnswerBudget {
 public:
  static constexpr int64_t kAnswersPerSecond = 50;
  static constexpr int64_t kBytesPerSecond = 80000;  // about 50 ProbeMatches of 1.6 KB

  // True when an answer of bytes may go out at now_ms (a monotonic clock), and counts it.
  bool Allow(std::size_t bytes, int64_t now_ms);

 private:
  bool started_ = false;
  int64_t seen_ms_ = 0;
  int64_t milli_answers_ = 0;  // a thousand per answer
  int64_t milli_bytes_ = 0;    // a thousand per byte
};

}  // namespace nvtd
