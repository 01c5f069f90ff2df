// The subscription table's rules (see subscription_table.h).
#include "nvtd/events/subscription_table.h"

#include "nvtd/core/process_state.h"
#include "nvtd/core/xml_text.h"

namespace nvtd {

static bool valid_index(int index) {
  return index >= 0 && index < kMaxSubscriptions;
}

int table_add(SubscriptionTable& table, const ConsumerSpec& desc, int duration, std::time_t now) {
  int index = 0;
  while (index < kMaxSubscriptions && table.entries[index].in_use) ++index;
  if (index == kMaxSubscriptions) return -1;
  Subscription& entry = table.entries[index];
  entry = Subscription{};
  if (desc.pull) {
    entry.pull = true;
    entry.initial_message_pending = true;
    entry.motion_state = 0;
  } else {
    entry.host = desc.host.substr(0, 31);
    entry.port = desc.port;
    entry.port_text = std::to_string(desc.port).substr(0, 15);
    entry.path = desc.path.substr(0, 63);
    entry.address = desc.address.substr(0, 127);
  }
  entry.duration = duration;
  entry.expiry = now + duration;
  entry.in_use = true;
  entry.event_pending = -1;
  entry.event_time = now;  // until the thread takes the event up
  table.consumer_count++;
  return index;
}

int table_renew(SubscriptionTable& table, int index, int64_t seconds) {
  if (!valid_index(index) || !table.entries[index].in_use) return -2;
  table.entries[index].expiry += static_cast<std::time_t>(seconds);
  return 0;
}

int table_set_expiry(SubscriptionTable& table, int index, std::time_t expiry) {
  if (!valid_index(index) || !table.entries[index].in_use) return -2;
  table.entries[index].expiry = expiry;
  return 0;
}

int table_remove(SubscriptionTable& table, int index, std::vector<int>* closed) {
  if (!valid_index(index) || !table.entries[index].in_use) return -2;
  Subscription& entry = table.entries[index];
  if (!entry.pull) {
    trace("%s: removing %s:%d/%s (%d)\n", "EventRemoveConsumer", entry.host.c_str(), entry.port,
          entry.path.c_str(), index);
  } else {
    trace("%s: removing pull %d\n", "EventRemoveConsumer", index);
    for (int slot = 0; slot < kMaxPullers; ++slot) {
      if (!entry.pullers[slot].in_use) continue;
      trace("close puller %d/%d, fd %d\n", index, slot, entry.pullers[slot].connection);
      closed->push_back(table_release_slot(table, index, slot));
    }
  }
  entry = Subscription{};
  table.consumer_count--;
  return 0;
}

int table_add_puller(SubscriptionTable& table, int index, int connection, int timeout,
                     const char* message_id, std::time_t now) {
  if (!valid_index(index)) return -1;
  Subscription& entry = table.entries[index];
  if (!entry.in_use || !entry.pull) return -1;
  int slot = 0;
  while (slot < kMaxPullers && entry.pullers[slot].in_use) ++slot;
  if (slot == kMaxPullers) return -1;
  PullerSlot& puller = entry.pullers[slot];
  puller = PullerSlot{};
  puller.connection = connection;
  puller.timeout = timeout;
  puller.deadline = now + timeout;
  puller.in_use = true;
  if (message_id != nullptr) {
    // The id arrives cut to 63 characters; escaped it may outgrow the old 127-byte header,
    // and a cut there would leave the element open, so the header is kept whole.
    puller.message_id_header =
        std::string("<wsa5:MessageID>") + xml_safe(message_id) + "</wsa5:MessageID>";
  }
  table_renew(table, index, entry.duration);
  return slot;
}

int table_release_slot(SubscriptionTable& table, int index, int slot) {
  PullerSlot& puller = table.entries[index].pullers[slot];
  if (!puller.in_use) return -1;
  int connection = puller.connection;
  puller = PullerSlot{};
  return connection;
}

}  // namespace nvtd
