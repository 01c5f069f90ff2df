// The subscription table: up to 20 push consumers and pull points, each pull point with
// up to 10 parked PullMessages connections. Plain data and the table's own rules; the
// caller holds the table lock (event_service.h) around every call.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace nvtd {

constexpr int kMaxSubscriptions = 20;
constexpr int kMaxPullers = 10;

// One parked PullMessages request.
struct PullerSlot {
  int connection = -1;       // the held HTTP connection (owned while in_use)
  int timeout = 0;           // the request's Timeout in seconds
  std::time_t deadline = 0;  // parking time + timeout
  bool in_use = false;
  std::string message_id_header;  // "<wsa5:MessageID>..</wsa5:MessageID>" (id escaped) or empty
  bool answered = false;          // a notification was written on the connection
};

struct Subscription {
  std::string host;       // push consumer's IPv4 text (<= 31); empty for a pull point
  int port = 0;           // push consumer's TCP port
  std::string port_text;  // the port in decimal (<= 15)
  std::string path;       // path of the consumer URL (<= 63)
  std::string address;    // the consumer URL from "http://" on (<= 127)
  int duration = 0;       // seconds asked for at creation
  std::time_t expiry = 0;
  bool in_use = false;
  int event_pending = 0;  // -1: the initial state is still to be delivered by the thread
  std::time_t event_time = 0;
  bool pull = false;
  bool initial_message_pending = false;  // pull points: cleared by the first PullMessages
  int motion_state = 0;
  std::array<PullerSlot, kMaxPullers> pullers;
};

struct SubscriptionTable {
  std::array<Subscription, kMaxSubscriptions> entries;
  int http_port = 80;
  int consumer_count = 0;      // raised by every add, lowered only by removal
  std::string camera_address;  // the camera's IPv4 text for the thread's messages
};

// What a push subscription is created with; a pull point has all of it empty.
struct ConsumerSpec {
  std::string host;
  int port = 0;
  std::string path;
  std::string address;
  bool pull = false;
};

// Takes the lowest free entry; -1 when all 20 are taken. Raises the consumer count.
int table_add(SubscriptionTable& table, const ConsumerSpec& desc, int duration, std::time_t now);

// Adds seconds to an in-use entry's expiry: 0, or -2 when the entry is not in use.
int table_renew(SubscriptionTable& table, int index, int64_t seconds);

// Sets an in-use entry's expiry: 0, or -2 when the entry is not in use.
int table_set_expiry(SubscriptionTable& table, int index, std::time_t expiry);

// Frees an in-use entry (-2 otherwise), lowering the count; the held connections of
// its slots are appended to closed (the caller closes them).
int table_remove(SubscriptionTable& table, int index, std::vector<int>* closed);

// Parks a PullMessages connection on an in-use pull point and extends the subscription
// by its own duration. Returns the slot, or -1 (no such pull point, or 10 slots taken).
int table_add_puller(SubscriptionTable& table, int index, int connection, int timeout,
                     const char* message_id, std::time_t now);

// Frees a slot, giving back its connection (-1 when it was free).
int table_release_slot(SubscriptionTable& table, int index, int slot);

}  // namespace nvtd
