// One pass of the consumer manager over the subscription table: pending events, expiry
// of subscriptions and time-outs of parked PullMessages. The caller holds the table lock;
// pushes to consumers are only collected here and sent after the lock is released.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "nvtd/events/event_messages.h"
#include "nvtd/events/subscription_table.h"

namespace nvtd {

// Everything a Notify to a push consumer needs, copied out of the table.
struct PushJob {
  int index = 0;
  std::string host;
  int port = 0;
  std::string port_text;
  std::string path;
  CameraUrl camera;
};

// What a pass does to parked connections; the thread writes to sockets, tests record.
class PassIo {
 public:
  virtual ~PassIo() = default;
  // The notification answer on slot `slot` of entry `index`; negative when it failed.
  virtual int send_motion(const SubscriptionTable& table, int index, int slot, std::time_t now) = 0;
  // The empty answer of a timed-out slot; its result is ignored.
  virtual int send_empty(const SubscriptionTable& table, int index, int slot, std::time_t now) = 0;
  virtual void close_connection(int fd) = 0;
};

// Walks the 20 entries in index order at time now; returns the pushes to make.
std::vector<PushJob> run_pass(SubscriptionTable& table, std::time_t now, PassIo& io);

// Writes the notification answer on one slot (EventAddPuller and the pass share it):
// marks the slot answered, or frees the slot and closes its connection when it fails.
void answer_slot_with_motion(SubscriptionTable& table, int index, int slot, std::time_t now,
                             PassIo& io);

}  // namespace nvtd
