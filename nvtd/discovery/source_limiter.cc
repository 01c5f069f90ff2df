// The per-source token buckets: refilled from the time since the address was last seen,
// capped at the burst; one token per answer.
#include "nvtd/discovery/source_limiter.h"

#include <algorithm>

namespace nvtd {
namespace {

constexpr int64_t kToken = 1000;
constexpr int64_t kFull = SourceLimiter::kBurst * kToken;

}  // namespace

bool SourceLimiter::Allow(uint32_t source, int64_t now_ms) {
  Entry* entry = nullptr;
  for (Entry& e : entries_) {
    if (e.in_use && e.source == source) {
      entry = &e;
      break;
    }
  }
  if (entry == nullptr) {
    entry = &entries_[0];
    for (Entry& e : entries_) {
      if (!e.in_use) {
        entry = &e;
        break;
      }
      if (e.seen_ms < entry->seen_ms) entry = &e;
    }
    *entry = Entry{source, now_ms, kFull, true};
  }
  // A full bucket refills in kBurst / kPerSecond seconds; a longer gap adds nothing more,
  // and a clock that went back adds nothing.
  int64_t elapsed = std::clamp<int64_t>(now_ms - entry->seen_ms, 0, 3600 * 1000);
  entry->milli_tokens = std::min(kFull, entry->milli_tokens + elapsed * kPerSecond);
  entry->seen_ms = now_ms;
  if (entry->milli_tokens < kToken) return false;
  entry->milli_tokens -= kToken;
  return true;
}

}  // namespace nvtd
