// The event service's process-wide state and the ConsumerManagerThread (see event_service.h).
#include "nvtd/events/event_service.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "nvtd/core/process_state.h"
#include "nvtd/events/camera_address.h"
#include "nvtd/events/consumer_pass.h"
#include "nvtd/events/notify_delivery.h"
#include "nvtd/events/pull_answer.h"
#include "nvtd/events/subscription_table.h"

namespace nvtd {
namespace {

struct EventState {
  // The table lock: guards table (entries, count, port, address), thread and stop.
  std::mutex lock;
  SubscriptionTable table;
  std::thread thread;
  bool stop = false;
  std::condition_variable wake;  // ends the thread's one-second sleep early on stop
};

// Never destroyed: the thread may still run while the process exits.
EventState& state() {
  static EventState* instance = new EventState;
  return *instance;
}

void close_all(const std::vector<int>& connections) {
  for (int fd : connections) {
    if (fd >= 0) ::close(fd);
  }
}

// Takes the thread out of the state for joining; the caller holds the lock.
std::thread stop_thread_locked(EventState& s) {
  s.stop = true;
  s.wake.notify_all();
  return std::move(s.thread);
}

void join_thread(std::thread thread) {
  if (!thread.joinable()) return;
  trace("Waiting for consumer thread...\n");
  thread.join();
  trace("consumer thread done\n");
}

}  // namespace

int EventInit(int http_port) {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  std::vector<int> closed;
  for (int index = 0; index < kMaxSubscriptions; ++index) table_remove(s.table, index, &closed);
  close_all(closed);
  s.table = SubscriptionTable{};
  s.table.http_port = http_port;
  return 0;
}

int EventRefreshAddress() {
  std::string address = fresh_camera_address();  // a settings exchange: outside the lock
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  s.table.camera_address = address;
  return 0;
}

int EventAddConsumer(const std::string& host, int port, const std::string& path,
                     const std::string& address, int duration, bool pull) {
  EventRefreshAddress();
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  ConsumerSpec desc{host, port, path, address, pull};
  int index = table_add(s.table, desc, duration, std::time(nullptr));
  if (index < 0) return -1;
  if (!s.thread.joinable()) {
    s.stop = false;
    s.thread = std::thread(ConsumerManagerThread);
  }
  return index;
}

int EventRenewConsumer(int index, int64_t seconds) {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  return table_renew(s.table, index, seconds);
}

int EventSetExpiry(int index, std::time_t expiry) {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  return table_set_expiry(s.table, index, expiry);
}

int EventRemoveConsumer(int index) {
  EventState& s = state();
  std::vector<int> closed;
  std::thread finished;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    if (table_remove(s.table, index, &closed) < 0) return -2;
    if (s.table.consumer_count == 0 && s.thread.joinable()) finished = stop_thread_locked(s);
  }
  close_all(closed);
  join_thread(std::move(finished));  // without the lock: the thread's pass needs it
  return 0;
}

int EventAddPuller(int index, int connection, int timeout, const char* message_id,
                   int /*message_limit*/) {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  std::time_t now = std::time(nullptr);
  int slot = table_add_puller(s.table, index, connection, timeout, message_id, now);
  if (slot < 0) return -1;
  Subscription& entry = s.table.entries[index];
  if (entry.initial_message_pending) {
    entry.initial_message_pending = false;
    SocketPassIo io;
    answer_slot_with_motion(s.table, index, slot, now, io);
  }
  return 0;
}

void EventStop() {
  EventState& s = state();
  std::thread finished;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    if (s.thread.joinable()) finished = stop_thread_locked(s);
  }
  join_thread(std::move(finished));
}

bool event_thread_running() {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.thread.joinable();
}

int event_consumer_count() {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.table.consumer_count;
}

std::time_t event_expiry(int index) {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  if (index < 0 || index >= kMaxSubscriptions || !s.table.entries[index].in_use) return 0;
  return s.table.entries[index].expiry;
}

void ConsumerManagerThread() {
  EventState& s = state();
  pthread_setname_np(pthread_self(), "nvtd-events");  // seen in /proc/PID/task/*/comm
  trace("enter %s\n", "ConsumerManagerThread");
  SocketPassIo io;
  std::unique_lock<std::mutex> hold(s.lock);
  while (!s.stop) {
    s.wake.wait_for(hold, std::chrono::seconds(1), [&s] { return s.stop; });
    if (s.stop) break;
    std::time_t now = std::time(nullptr);
    std::vector<PushJob> pushes = run_pass(s.table, now, io);
    if (pushes.empty()) continue;
    hold.unlock();  // consumers may be slow: talk to them without the lock
    for (const PushJob& job : pushes) deliver_notify(job, now);
    hold.lock();
  }
  trace("exit %s\n", "ConsumerManagerThread");
}

}  // namespace nvtd
