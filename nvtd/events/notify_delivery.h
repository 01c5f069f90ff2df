// Delivery of a Notify to a push consumer: connect with a 2-second limit per address,
// POST the message, read the consumer's reply once (waiting a bounded time). Runs
// without the table lock, on a copy of what the delivery needs.
#pragma once

#include <ctime>
#include <string>

#include "nvtd/events/consumer_pass.h"

namespace nvtd {

// How long a delivery waits for the consumer to take the request and to answer.
constexpr int kConnectLimitSeconds = 2;
constexpr int kReplyLimitSeconds = 3;

// A connected socket to host:port_text (blocking mode restored), or -1.
int Connect(const std::string& host, const std::string& port_text);

// POSTs the Notify of the motion alarm's state to the consumer; attempted once.
void deliver_notify(const PushJob& job, std::time_t now);

}  // namespace nvtd
