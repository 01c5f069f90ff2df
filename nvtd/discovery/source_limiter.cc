// The per-source token buckets: refilled from the time since the address was last seen at
// its share of the answers (kSharedPerSecond over the active addresses, at most kPerSecond),
// capped at the burst; one token per probe that would be answered.
#include "nvtd/discovery/source_limiter.h"

#include <algorithm>

namespace nvtd {
namespace {

constexpr int64_t kToken = 1000;
constexpr int64_t kFull = SourceLimiter::kBurst * kToken;

}  // namespace

SourceLimiter::Entry& SourceLimiter::Find(uint32_t source, int64_t now_ms, int64_t* active) {
  Entry* found = nullptr;
  Entry* place = nullptr;  // a free one, else the least recently seen
  *active = 1;             // this source
  for (Entry& e : entries_) {
    if (!e.in_use) {
      if (place == nullptr || place->in_use) place = &e;
      continue;
    }
    if (e.source == source) {
      found = &e;
    } else if (now_ms - e.seen_ms < kActiveMs) {
      ++*active;
    }
    if (place == nullptr || (place->in_use && e.seen_ms < place->seen_ms)) place = &e;
  }
  if (found != nullptr) return *found;
  *place = Entry{source, now_ms, kFull, true};
  return *place;
}

bool SourceLimiter::Allow(uint32_t source, int64_t now_ms) {
  int64_t active = 0;
  Entry& entry = Find(source, now_ms, &active);
  // A full bucket refills in a second at kPerSecond; a longer gap adds nothing more, and a
  // clock that went back adds nothing.
  int64_t elapsed = std::clamp<int64_t>(now_ms - entry.seen_ms, 0, 3600 * 1000);
  int64_t earned = std::min<int64_t>(elapsed * kPerSecond, elapsed * kSharedPerSecond / active);
  entry.milli_tokens = std::min(kFull, entry.milli_tokens + earned);
  entry.seen_ms = now_ms;
  if (entry.milli_tokens < kToken) return false;
  entry.milli_tokens -= kToken;
  return true;
}

}  // namespace nvtd
