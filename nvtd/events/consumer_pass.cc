// One pass of the consumer manager (see consumer_pass.h).
#include "nvtd/events/consumer_pass.h"

#include <algorithm>

#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

// Finishes a slot: the connection is closed and the slot freed.
void finish_slot(SubscriptionTable& table, int index, int slot, PassIo& io) {
  trace("close puller %d/%d, fd %d\n", index, slot, table.entries[index].pullers[slot].connection);
  io.close_connection(table_release_slot(table, index, slot));
}

void expire_entry(SubscriptionTable& table, int index, PassIo& io) {
  Subscription& entry = table.entries[index];
  for (int slot = 0; slot < kMaxPullers; ++slot) {
    if (entry.pullers[slot].in_use) finish_slot(table, index, slot, io);
  }
  trace("%s: expired consumer %s:%s (%d)\n", "ConsumerManagerThread", entry.host.c_str(),
        entry.port_text.c_str(), index);
  entry = Subscription{};  // stays counted: only removal lowers the count
}

void finish_timed_out_slots(SubscriptionTable& table, int index, std::time_t now,
                            SteadyTime steady_now, PassIo& io) {
  Subscription& entry = table.entries[index];
  for (int slot = 0; slot < kMaxPullers; ++slot) {
    if (!entry.pullers[slot].in_use || entry.pullers[slot].deadline > steady_now) continue;
    io.send_empty(table, index, slot, now);
    trace("puller %d/%d expired\n", index, slot);
    finish_slot(table, index, slot, io);
  }
}

PushJob push_job(const SubscriptionTable& table, int index) {
  const Subscription& entry = table.entries[index];
  PushJob job;
  job.index = index;
  job.serial = entry.serial;
  job.host = entry.host;
  job.port = entry.port;
  job.port_text = entry.port_text;
  job.path = entry.path;
  job.camera = CameraUrl{table.camera_address, table.http_port};
  return job;
}

}  // namespace

void answer_waiting_slots(SubscriptionTable& table, int index, std::time_t now, PassIo& io) {
  Subscription& entry = table.entries[index];
  for (int slot = 0; slot < kMaxPullers && !entry.queue.empty(); ++slot) {
    PullerSlot& puller = entry.pullers[slot];
    if (!puller.in_use) continue;
    std::vector<EventMessage> messages = table_take(table, index, size_t(puller.message_limit));
    if (io.send_messages(table, index, slot, messages, now) < 0) {
      trace("%s: write failed to fd %d\n", "answer_waiting_slots", puller.connection);
      entry.queue.insert(entry.queue.begin(), messages.begin(), messages.end());
    } else {
      trace("sent %d messages to puller fd %d\n", int(messages.size()), puller.connection);
    }
    finish_slot(table, index, slot, io);
  }
}

std::vector<PushJob> run_pass(SubscriptionTable& table, std::time_t now, SteadyTime steady_now,
                              PassIo& io) {
  std::vector<PushJob> pushes;
  for (int index = 0; index < kMaxSubscriptions; ++index) {
    Subscription& entry = table.entries[index];
    if (!entry.in_use) continue;
    if (now > entry.expiry) {
      expire_entry(table, index, io);
    } else if (entry.pull) {
      answer_waiting_slots(table, index, now, io);
      finish_timed_out_slots(table, index, now, steady_now, io);
    } else if (!entry.push_busy && !entry.queue.empty()) {
      std::size_t allowed = pace_take(entry.pace, entry.queue.size(), steady_now);
      if (allowed == 0) continue;  // the rest wait their turn (next_deadline)
      PushJob job = push_job(table, index);
      job.messages = table_take(table, index, allowed);
      entry.push_busy = true;
      pushes.push_back(std::move(job));
    }
  }
  return pushes;
}

SteadyTime next_deadline(const SubscriptionTable& table, SteadyTime otherwise) {
  SteadyTime earliest = otherwise;
  for (const Subscription& entry : table.entries) {
    if (!entry.in_use) continue;
    if (!entry.pull && !entry.push_busy && !entry.queue.empty()) {
      earliest = std::min(earliest, pace_next(entry.pace));
    }
    for (const PullerSlot& puller : entry.pullers) {
      if (puller.in_use && puller.deadline < earliest) earliest = puller.deadline;
    }
  }
  return earliest;
}

void push_finished(SubscriptionTable& table, int index, uint64_t serial) {
  if (index < 0 || index >= kMaxSubscriptions) return;
  Subscription& entry = table.entries[index];
  if (entry.in_use && entry.serial == serial) entry.push_busy = false;
}

}  // namespace nvtd
