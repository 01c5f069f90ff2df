// The subscription table's rules (see subscription_table.h).
#include "nvtd/events/subscription_table.h"

#include <syslog.h>
#include <unistd.h>

#include <algorithm>

#include "nvtd/core/process_state.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

bool valid_index(int index) {
  return index >= 0 && index < kMaxSubscriptions;
}

// Appends a message its content filter passes, dropping the oldest when the queue is full
// (logged once per overflow run). Whether it was queued.
bool enqueue(Subscription& entry, int index, const EventMessage& message) {
  if (!entry.content.empty() && !entry.content.matches(message_items(message))) return false;
  if (entry.queue.size() >= kQueueBound) {
    entry.queue.pop_front();
    if (entry.dropped++ == 0) {
      syslog(LOG_WARNING, "event queue of subscription %d full: oldest messages dropped", index);
      trace("event queue %d full, dropping oldest\n", index);
    }
  }
  entry.queue.push_back(message);
  return true;
}

int held_by(const SubscriptionTable& table, const std::string& name) {
  int held = 0;
  for (const Subscription& entry : table.entries) {
    if (entry.in_use && !entry.owner.administrator && entry.owner.name == name) ++held;
  }
  return held;
}

void reclaim_expired(SubscriptionTable& table, std::time_t now, std::vector<int>* closed) {
  for (int index = 0; index < kMaxSubscriptions; ++index) {
    const Subscription& entry = table.entries[index];
    if (entry.in_use && now > entry.expiry) {
      table_remove(table, index, closed);
      table.consumer_count++;  // expiry does not lower the count (the thread's life)
    }
  }
}

}  // namespace

AddedSubscription table_add(SubscriptionTable& table, const ConsumerSpec& desc,
                            const EventAccount& owner, TopicMask topics, int duration,
                            std::time_t now, const ItemFilter& content) {
  std::vector<int> closed;
  reclaim_expired(table, now, &closed);
  for (int fd : closed) {
    if (fd >= 0) ::close(fd);
  }
  if (!owner.administrator && held_by(table, owner.name) >= kAccountShare)
    return {AddedSubscription::Status::kShareTaken};
  int index = 0;
  while (index < kMaxSubscriptions && table.entries[index].in_use) ++index;
  if (index == kMaxSubscriptions) return {AddedSubscription::Status::kTableFull};
  Subscription& entry = table.entries[index];
  entry = Subscription{};
  entry.pull = desc.pull;
  if (!desc.pull) {
    entry.host = desc.host.substr(0, 31);
    entry.port = desc.port;
    entry.port_text = std::to_string(desc.port).substr(0, 15);
    entry.path = desc.path.substr(0, 63);
    entry.address = desc.address.substr(0, 127);
  }
  entry.duration = duration;
  entry.expiry = now + duration;
  entry.in_use = true;
  entry.serial = table.next_serial++;
  entry.owner = owner;
  entry.topics = topics;
  entry.content = content;
  table_synchronize(table, index, now);
  table.consumer_count++;
  return {AddedSubscription::Status::kAdded, index};
}

bool table_may_use(const SubscriptionTable& table, int index, const EventAccount& account) {
  if (!valid_index(index) || !table.entries[index].in_use) return false;
  const EventAccount& owner = table.entries[index].owner;
  return account.administrator || (!owner.administrator && owner.name == account.name);
}

bool table_set_expiry(SubscriptionTable& table, int index, std::time_t expiry) {
  if (!valid_index(index) || !table.entries[index].in_use) return false;
  table.entries[index].expiry = expiry;
  return true;
}

bool table_remove(SubscriptionTable& table, int index, std::vector<int>* closed) {
  if (!valid_index(index) || !table.entries[index].in_use) return false;
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
  return true;
}

void table_synchronize(SubscriptionTable& table, int index, std::time_t now) {
  Subscription& entry = table.entries[index];
  for (int topic = 0; topic < kTopicCount; ++topic) {
    if ((entry.topics & (1u << topic)) == 0 || !topic_is_property(topic)) continue;
    enqueue(entry, index, EventMessage{topic, table_topic_state(table, topic), true, now});
  }
}

bool table_topic_state(const SubscriptionTable& table, int topic) {
  auto found = table.states.find(topic_info(topic).state_name);
  return found != table.states.end() && state_is_raised(found->second);
}

int table_publish(SubscriptionTable& table, const std::string& name, const std::string& value,
                  std::time_t now) {
  TopicMask raised = topics_of_state(name);
  auto known = table.states.find(name);
  bool was = known != table.states.end() && state_is_raised(known->second);
  table.states[name] = value;
  if (raised == 0 || was == state_is_raised(value)) return 0;
  int queued = 0;
  for (int index = 0; index < kMaxSubscriptions; ++index) {
    Subscription& entry = table.entries[index];
    if (!entry.in_use) continue;
    for (int topic = 0; topic < kTopicCount; ++topic) {
      if ((raised & entry.topics & (1u << topic)) == 0) continue;
      if (enqueue(entry, index, EventMessage{topic, state_is_raised(value), false, now})) ++queued;
    }
  }
  return queued;
}

int table_publish_change(SubscriptionTable& table, const EventMessage& message) {
  int queued = 0;
  for (int index = 0; index < kMaxSubscriptions; ++index) {
    Subscription& entry = table.entries[index];
    if (!entry.in_use || (entry.topics & (1u << message.topic)) == 0) continue;
    if (enqueue(entry, index, message)) ++queued;
  }
  return queued;
}

std::optional<int> table_add_puller(SubscriptionTable& table, int index, int connection,
                                    int timeout, int message_limit, const char* message_id,
                                    std::time_t now, SteadyTime steady_now) {
  if (!valid_index(index)) return std::nullopt;
  Subscription& entry = table.entries[index];
  if (!entry.in_use || !entry.pull) return std::nullopt;
  int slot = 0;
  while (slot < kMaxPullers && entry.pullers[slot].in_use) ++slot;
  if (slot == kMaxPullers) return std::nullopt;
  PullerSlot& puller = entry.pullers[slot];
  puller = PullerSlot{};
  puller.connection = connection;
  puller.deadline = steady_now + std::chrono::seconds(timeout);
  puller.deadline_utc = now + timeout;
  puller.message_limit = std::max(1, message_limit);
  puller.in_use = true;
  if (message_id != nullptr) {
    puller.message_id_header =
        std::string("<wsa5:MessageID>") + xml_safe(message_id) + "</wsa5:MessageID>";
  }
  // A pull keeps its pull point alive for its own length and at least the Timeout.
  std::time_t keep = now + std::max(entry.duration, timeout);
  entry.expiry = std::max(entry.expiry, keep);
  return slot;
}

int table_release_slot(SubscriptionTable& table, int index, int slot) {
  PullerSlot& puller = table.entries[index].pullers[slot];
  if (!puller.in_use) return -1;
  int connection = puller.connection;
  puller = PullerSlot{};
  return connection;
}

std::vector<EventMessage> table_take(SubscriptionTable& table, int index, std::size_t limit) {
  Subscription& entry = table.entries[index];
  std::size_t count = std::min(limit, entry.queue.size());
  std::vector<EventMessage> taken(entry.queue.begin(), entry.queue.begin() + long(count));
  entry.queue.erase(entry.queue.begin(), entry.queue.begin() + long(count));
  if (entry.queue.empty()) entry.dropped = 0;
  return taken;
}

}  // namespace nvtd
