// One pass of the consumer manager over the subscription table: queued messages to waiting
// PullMessages requests, Notify deliveries to start, time-outs of parked requests and expiry
// of subscriptions. The caller holds the table lock; pushes are only collected here and sent
// by delivery workers after the lock is released.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "nvtd/events/event_messages.h"
#include "nvtd/events/subscription_table.h"

namespace nvtd {

// Everything a push delivery needs, copied out of the table, with the messages it takes.
struct PushJob {
  int index = 0;
  uint64_t serial = 0;
  std::string host;
  int port = 0;
  std::string port_text;
  std::string path;
  CameraUrl camera;
  std::vector<EventMessage> messages;
};

// What a pass does to parked connections; the thread writes to sockets, tests record.
class PassIo {
 public:
  virtual ~PassIo() = default;
  // The answer with these messages on slot `slot` of entry `index`; negative when it failed.
  virtual int send_messages(const SubscriptionTable& table, int index, int slot,
                            const std::vector<EventMessage>& messages, std::time_t now) = 0;
  // The empty answer of a timed-out slot; its result is ignored.
  virtual int send_empty(const SubscriptionTable& table, int index, int slot, std::time_t now) = 0;
  virtual void close_connection(int fd) = 0;
};

// Walks the 20 entries in index order; returns the pushes to make, each with as many queued
// messages as the subscription's pace allows now (notify_pace.h).
std::vector<PushJob> run_pass(SubscriptionTable& table, std::time_t now, SteadyTime steady_now,
                              PassIo& io);

// Answers waiting slots of one pull point in slot order while its queue has messages: each
// takes up to its MessageLimit and is then closed. A failed write puts the messages back.
void answer_waiting_slots(SubscriptionTable& table, int index, std::time_t now, PassIo& io);

// The earliest deadline of a parked request or of a paced push, or `otherwise` when none is
// earlier.
SteadyTime next_deadline(const SubscriptionTable& table, SteadyTime otherwise);

// A delivery has ended: the subscription (if it is still the same one) may get the next.
void push_finished(SubscriptionTable& table, int index, uint64_t serial);

}  // namespace nvtd
