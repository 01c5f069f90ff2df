// Delivery of Notify messages to a push consumer: connect with a 2-second limit per address,
// POST the message, read the consumer's reply once (waiting a bounded time). Runs in a
// delivery worker of its own, without the table lock, on a copy of what it needs.
#pragma once

#include <atomic>
#include <ctime>
#include <string>

#include "nvtd/events/consumer_pass.h"

namespace nvtd {

// How long a delivery waits for the consumer to take the request and to answer.
constexpr int kConnectLimitSeconds = 2;
constexpr int kReplyLimitSeconds = 3;

// A connected socket to host:port_text (blocking mode restored), or -1.
int connect_to_consumer(const std::string& host, const std::string& port_text);

// POSTs one Notify per message of the job, in order, each on its own connection and attempted
// once; stops early when stop is set. At most kConnectLimitSeconds + 2 * kReplyLimitSeconds
// per message.
void deliver_notifies(const PushJob& job, const std::atomic<bool>& stop);

}  // namespace nvtd
