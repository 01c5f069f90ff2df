// One pass of the consumer manager (see consumer_pass.h).
#include "nvtd/events/consumer_pass.h"

#include "nvtd/core/process_state.h"

namespace nvtd {

void answer_slot_with_motion(SubscriptionTable& table, int index, int slot, std::time_t now,
                             PassIo& io) {
  Subscription& entry = table.entries[index];
  PullerSlot& puller = entry.pullers[slot];
  int fd = puller.connection;
  if (io.send_motion(table, index, slot, now) < 0) {
    trace("%s: write failed to fd %d\n", "answer_slot_with_motion", fd);
    trace("close puller %d/%d, fd %d\n", index, slot, fd);
    io.close_connection(table_release_slot(table, index, slot));
    return;
  }
  trace("sent motion %d to puller fd %d\n", entry.motion_state, fd);
  puller.answered = true;
}

static void deliver_pending(SubscriptionTable& table, int index, std::time_t now, PassIo& io,
                            std::vector<PushJob>* pushes) {
  Subscription& entry = table.entries[index];
  trace("got motion\n");
  entry.event_time = now;
  if (entry.pull) {
    for (int slot = 0; slot < kMaxPullers; ++slot) {
      // A request that already has its answer must not get a second one.
      if (!entry.pullers[slot].in_use || entry.pullers[slot].answered) continue;
      trace("send event to puller %d/%d\n", index, slot);
      answer_slot_with_motion(table, index, slot, now, io);
    }
  } else {
    PushJob job;
    job.index = index;
    job.host = entry.host;
    job.port = entry.port;
    job.port_text = entry.port_text;
    job.path = entry.path;
    job.camera = CameraUrl{table.camera_address, table.http_port};
    pushes->push_back(job);
  }
  entry.event_pending = 0;
}

static void expire_entry(SubscriptionTable& table, int index, PassIo& io) {
  Subscription& entry = table.entries[index];
  for (int slot = 0; slot < kMaxPullers; ++slot) {
    if (!entry.pullers[slot].in_use) continue;
    trace("close puller %d/%d, fd %d\n", index, slot, entry.pullers[slot].connection);
    io.close_connection(table_release_slot(table, index, slot));
  }
  trace("%s: expired consumer %s:%s (%d)\n", "ConsumerManagerThread", entry.host.c_str(),
        entry.port_text.c_str(), index);
  entry = Subscription{};  // stays counted: only removal lowers the count
}

static void finish_timed_out_slots(SubscriptionTable& table, int index, std::time_t now,
                                   PassIo& io) {
  Subscription& entry = table.entries[index];
  for (int slot = 0; slot < kMaxPullers; ++slot) {
    PullerSlot& puller = entry.pullers[slot];
    if (!puller.in_use || puller.deadline >= now) continue;
    if (!puller.answered) io.send_empty(table, index, slot, now);
    trace("puller %d/%d expired\n", index, slot);
    trace("close puller %d/%d, fd %d\n", index, slot, puller.connection);
    io.close_connection(table_release_slot(table, index, slot));
  }
}

std::vector<PushJob> run_pass(SubscriptionTable& table, std::time_t now, PassIo& io) {
  std::vector<PushJob> pushes;
  for (int index = 0; index < kMaxSubscriptions; ++index) {
    Subscription& entry = table.entries[index];
    if (!entry.in_use) continue;
    if (entry.event_pending != 0) deliver_pending(table, index, now, io, &pushes);
    if (now > entry.expiry) {
      expire_entry(table, index, io);
    } else if (entry.pull) {
      finish_timed_out_slots(table, index, now, io);
    }
  }
  return pushes;
}

}  // namespace nvtd
