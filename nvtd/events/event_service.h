// The event service's process-wide state: the subscription table behind its lock, the
// consumer_manager_thread that delivers queued messages, times out parked PullMessages and
// expires subscriptions while at least one subscription is counted, and the state watcher
// thread that turns camera state files into messages. Called by the event handlers, by the
// start-up wiring and, for the address, by the network configuration handlers.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "nvtd/events/event_messages.h"
#include "nvtd/events/subscription_table.h"

namespace nvtd {

// Clears the table, keeps the HTTP port for addresses and reads the camera states of
// directory (camera_state::kDirectory unless a test gives another). Called once at start-up.
int event_init(int http_port, const std::string& directory = "");

// Starts the state watcher thread on the directory event_init read (long-lived modes).
int event_start_watcher();
// Stops and joins the watcher (the end of the process, tests).
void event_stop_watcher();

// Re-reads the camera's IPv4 address (NETWORK "ipaddress") kept for the thread's messages.
int event_refresh_address();

// Adds a push consumer (pull false) or a pull point (pull true; host, path and address
// empty, port 0) for the owner, covering the topics; its Initialized messages are queued.
// Returns the index 0..19, kTableFull or kShareTaken. Starts the delivery thread.
int event_add_consumer(const ConsumerSpec& consumer, const EventAccount& owner, TopicMask topics,
                       int duration);

// Sets the expiry of a subscription the account may use: 0, or -2 when there is none.
int event_set_expiry(int index, const EventAccount& account, std::time_t expiry);
// A subscription's expiry when the account may use it, else 0.
std::time_t event_expiry(int index, const EventAccount& account);

// Frees a subscription the account may use and closes its held connections: 0, or -2.
// Stops the delivery thread when the count reaches 0.
int event_remove_consumer(int index, const EventAccount& account);

// Queues the Initialized messages of a subscription the account may use again: 0, or -2.
int event_synchronize(int index, const EventAccount& account);

// Parks a PullMessages connection (server mode) or reply FIFO (relay: the relay mode's
// descriptor, non-blocking) on a pull point the account may use; answers it at once when
// messages wait. 0 (the descriptor belongs to the slot now), or -1 (no such pull point, 10
// waiting). message_id (the request's, raw) may be null.
int event_add_puller(int index, const EventAccount& account, int connection, int timeout,
                     const char* message_id, int message_limit, bool relay = false);

// Without a connection to hold (CGI mode): the answer of a PullMessages at once,
// with up to message_limit waiting messages or none. 0 and *body (a body template), or -1
// when the account has no such pull point.
int event_pull_now(int index, const EventAccount& account, int timeout, const char* message_id,
                   int message_limit, std::string* body);

// A camera state as read (the watcher; tests): queues a Changed message for every
// subscription covering one of its topics when its value changed. Returns the messages queued.
int event_publish(const std::string& name, const std::string& value);

// Stops the delivery thread (if running) whatever the count; for the end of the process.
void event_stop();

// For tests: whether the thread runs and how many subscriptions are counted.
bool event_thread_running();
int event_consumer_count();

// The delivery thread's body.
void consumer_manager_thread();

}  // namespace nvtd
