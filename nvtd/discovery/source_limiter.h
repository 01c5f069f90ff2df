// How many answers one source address may draw: a token bucket per IPv4 address in a small
// fixed table, so forged probes cannot turn the camera into a flood aimed at one host.
#pragma once

#include <array>
#include <cstdint>

namespace nvtd {

class SourceLimiter {
 public:
  static constexpr int kSources = 32;    // addresses remembered at once
  static constexpr int kBurst = 10;      // answers a fresh address may draw at once
  static constexpr int kPerSecond = 10;  // answers an address earns back each second

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
  std::array<Entry, kSources> entries_{};
};

}  // namespace nvtd
