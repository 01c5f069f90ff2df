// The pace of one push subscription's Notify messages: at most kNotifyBurst at once and
// kNotifiesPerSecond on average, however often the states change or a client asks for a
// synchronization point, so no subscription makes the camera a traffic source. A token bucket
// kept as one time: when the next message is due if the bucket were empty.
#pragma once

#include <chrono>
#include <cstddef>

namespace nvtd {

constexpr int kNotifiesPerSecond = 10;
constexpr int kNotifyBurst = 10;

using PaceClock = std::chrono::steady_clock;

struct NotifyPace {
  PaceClock::time_point due{};  // the bucket is full whenever due <= now
};

// How many of `wanted` messages may be sent now (0..wanted); counts them as sent.
std::size_t pace_take(NotifyPace& pace, std::size_t wanted, PaceClock::time_point now);

// When the next message may be sent (now or earlier when one may go at once).
PaceClock::time_point pace_next(const NotifyPace& pace);

}  // namespace nvtd
