// The pace of a push subscription's Notify messages (see notify_pace.h).
#include "nvtd/events/notify_pace.h"

#include <algorithm>

namespace nvtd {
namespace {

constexpr PaceClock::duration kInterval =
    std::chrono::duration_cast<PaceClock::duration>(std::chrono::seconds(1)) / kNotifiesPerSecond;
// How far ahead of now `due` may run: the burst less the message being counted.
constexpr PaceClock::duration kTolerance = kInterval * (kNotifyBurst - 1);

}  // namespace

std::size_t pace_take(NotifyPace& pace, std::size_t wanted, PaceClock::time_point now) {
  std::size_t taken = 0;
  while (taken < wanted && pace.due - kTolerance <= now) {
    pace.due = std::max(pace.due, now) + kInterval;
    ++taken;
  }
  return taken;
}

PaceClock::time_point pace_next(const NotifyPace& pace) {
  return pace.due - kTolerance;
}

}  // namespace nvtd
