// The subscription table: up to 20 push consumers and pull points, each with its own bounded
// queue of messages and, for a pull point, up to 10 parked PullMessages connections; and the
// camera states as last read. Plain data and the table's own rules; the caller holds the
// table lock (event_service.h) around every call.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "nvtd/events/event_topics.h"
#include "nvtd/events/item_filter.h"
#include "nvtd/events/notify_pace.h"

namespace nvtd {

constexpr int kMaxSubscriptions = 20;
constexpr int kMaxPullers = 10;
// Messages a subscription keeps until they are taken; on overflow the oldest go.
constexpr std::size_t kQueueBound = 64;
// The longest a subscription lives without a renewal, and the longest a PullMessages waits.
constexpr int kMaxTerminationSeconds = 600;
constexpr int kMaxPullTimeoutSeconds = 60;
// Subscriptions one account below administrator may hold at a time.
constexpr int kAccountShare = 5;

using SteadyTime = std::chrono::steady_clock::time_point;

// One parked PullMessages request.
struct PullerSlot {
  int connection = -1;    // the held HTTP connection or reply FIFO (owned while in_use)
  bool relay = false;     // a relay reply FIFO: written with write(), relay head
  SteadyTime deadline{};  // parking time + Timeout
  std::time_t deadline_utc = 0;
  int message_limit = 1;
  bool in_use = false;
  std::string message_id_header;  // "<wsa5:MessageID>..</wsa5:MessageID>" (id escaped) or empty
};

// Who made a subscription: the account name ("" without authentication) and whether it is an
// administrator (who may act on every subscription).
struct EventAccount {
  std::string name;
  bool administrator = true;
};

struct Subscription {
  std::string host;       // push consumer's IPv4 text (<= 31); empty for a pull point
  int port = 0;           // push consumer's TCP port
  std::string port_text;  // the port in decimal (<= 15)
  std::string path;       // path of the consumer URL (<= 63)
  std::string address;    // the consumer URL from "http://" on (<= 127)
  int duration = 0;       // seconds asked for at creation (after the cut)
  std::time_t expiry = 0;
  bool in_use = false;
  bool pull = false;
  uint64_t serial = 0;  // tells this subscription from a later one at the same index
  EventAccount owner;
  TopicMask topics = kAllTopics;
  ItemFilter content;  // the message-content filter a message must pass to be queued
  std::deque<EventMessage> queue;
  std::size_t dropped = 0;  // messages lost to overflow since the last log line
  bool push_busy = false;   // a Notify delivery of this subscription is under way
  NotifyPace pace;          // how many Notify messages may go when
  std::array<PullerSlot, kMaxPullers> pullers;
};

struct SubscriptionTable {
  std::array<Subscription, kMaxSubscriptions> entries;
  int http_port = 80;
  int consumer_count = 0;      // raised by every add, lowered only by removal
  std::string camera_address;  // the camera's IPv4 text for the thread's messages
  uint64_t next_serial = 1;
  std::map<std::string, std::string> states;  // camera states as last read, by name
};

// What a push subscription is created with; a pull point has all of it empty.
struct ConsumerSpec {
  std::string host;
  int port = 0;
  std::string path;
  std::string address;
  bool pull = false;
};

// What a new subscription came to: its index when added.
struct AddedSubscription {
  enum class Status { kAdded, kTableFull, kShareTaken } status = Status::kTableFull;
  int index = -1;
};

// Takes the lowest free entry (reclaiming expired ones first) for the owner, with the topics
// it covers and the content filter its messages must pass; queues the Initialized message of
// each topic that passes. Refused when all are taken, or
// (kShareTaken) when a non-administrator already holds kAccountShare. Raises the consumer
// count.
AddedSubscription table_add(SubscriptionTable& table, const ConsumerSpec& desc,
                            const EventAccount& owner, TopicMask topics, int duration,
                            std::time_t now, const ItemFilter& content = ItemFilter());

// Whether the account may act on the entry: in use, and made by it or the account is an
// administrator.
bool table_may_use(const SubscriptionTable& table, int index, const EventAccount& account);

// Sets an in-use entry's expiry; false when the entry is not in use.
bool table_set_expiry(SubscriptionTable& table, int index, std::time_t expiry);

// Frees an in-use entry (false when it is not), lowering the count; the held connections of
// its slots are appended to closed (the caller closes them).
bool table_remove(SubscriptionTable& table, int index, std::vector<int>* closed);

// Queues the Initialized message of each property topic the entry covers, with the current states
// (those its content filter passes).
void table_synchronize(SubscriptionTable& table, int index, std::time_t now);

// A camera state as read: when it differs from the state known so far, every subscription
// covering one of its topics gets a Changed message its content filter passes. Returns how many
// messages were queued.
int table_publish(SubscriptionTable& table, const std::string& name, const std::string& value,
                  std::time_t now);

// A change made by a service (the media topics): every subscription covering the message's
// topic gets it when its content filter passes. Returns how many were queued.
int table_publish_change(SubscriptionTable& table, const EventMessage& message);

// The current state of a topic (false when its state was never written).
bool table_topic_state(const SubscriptionTable& table, int topic);

// Parks a PullMessages connection on an in-use pull point and keeps the subscription alive
// for at least its duration and the Timeout from now. Returns the slot, or nullopt (no such
// pull point, or 10 slots taken).
std::optional<int> table_add_puller(SubscriptionTable& table, int index, int connection,
                                    int timeout, int message_limit, const char* message_id,
                                    std::time_t now, SteadyTime steady_now);

// Frees a slot, giving back its connection (-1 when it was free).
int table_release_slot(SubscriptionTable& table, int index, int slot);

// Takes up to limit messages from the front of an entry's queue.
std::vector<EventMessage> table_take(SubscriptionTable& table, int index, std::size_t limit);

}  // namespace nvtd
