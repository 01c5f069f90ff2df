// How many answers one source address may draw: a token bucket per IPv4 address in a fixed
// table, charged for every probe that would be answered. The addresses seen in the last second
// share kSharedPerSecond answers a second between them (each earns at most kPerSecond), so
// sources taking turns cannot take the whole budget (AnswerBudget) from a newcomer.
#pragma once

#include <array>
#include <cstdint>

namespace nvtd {

class SourceLimiter {
 public:
  static constexpr int kSources = 128;         // addresses remembered at once
  static constexpr int kBurst = 10;            // answers a fresh address may draw at once
  static constexpr int kPerSecond = 10;        // answers an address earns back each second
  static constexpr int kSharedPerSecond = 40;  // what all active addresses earn together
  static constexpr int64_t kActiveMs = 1000;   // seen this recently: active

  // True when an answer to source may go out at now_ms (a monotonic clock), and counts
  // it. An address not in the table takes a free place or the least recently seen one.
  bool Allow(uint32_t source, int64_t now_ms);

 private:
  struct Entry {
    uint32_t source = 0;
    int64_t seen_ms = 0;
    int64_t milli_tokens = 0;  // a thousand per answer
    bool in_use = false;
  };
  // The source's entry (taken afresh, full, when it has none) and the active addresses.
  Entry& Find(uint32_t source, int64_t now_ms, int64_t* active);

  std::array<Entry, kSources> entries_{};
};

}  // namespace nvtd
