// The event service's process-wide state: the subscription table behind its lock, and the
// ConsumerManagerThread that delivers, expires and times out once a second while at least
// one subscription is counted. Called by the event handlers and, for the address, by the
// network configuration handlers.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "nvtd/events/event_messages.h"

namespace nvtd {

// Clears the table and keeps the HTTP port for addresses. Called once at start-up.
int EventInit(int http_port);

// Re-reads the camera's IPv4 address (NETWORK "ipaddress") kept for the thread's messages.
int EventRefreshAddress();

// Adds a push consumer (pull false) or a pull point (pull true; host, path and address
// empty, port 0). Returns the index 0..19 or -1 when the table is full. Starts the thread.
int EventAddConsumer(const std::string& host, int port, const std::string& path,
                     const std::string& address, int duration, bool pull);

// Adds seconds to an in-use subscription's expiry: 0, or -2 when not in use.
int EventRenewConsumer(int index, int64_t seconds);
// Sets an in-use subscription's expiry to an absolute time: 0, or -2 when not in use.
int EventSetExpiry(int index, std::time_t expiry);

// Frees a subscription and closes its held connections: 0, or -2 when not in use.
// Stops the thread when the count reaches 0.
int EventRemoveConsumer(int index);

// Parks a PullMessages connection (-1 outside server mode) on a pull point; answers it at
// once while the initial message is pending. 0, or -1 (no such pull point, 10 waiting).
// message_id (the request's, raw) may be null. The message limit is accepted and not used.
int EventAddPuller(int index, int connection, int timeout, const char* message_id,
                   int message_limit);

// Stops the thread (if running) whatever the count; for the end of the process.
void EventStop();

// For tests: whether the thread runs, how many subscriptions are counted, and a copy of
// one entry's expiry (0 when not in use).
bool event_thread_running();
int event_consumer_count();
std::time_t event_expiry(int index);

// The thread's body.
void ConsumerManagerThread();

}  // namespace nvtd
