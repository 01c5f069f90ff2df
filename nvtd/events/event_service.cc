// The event service's process-wide state and its threads (see event_service.h).
#include "nvtd/events/event_service.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "common/state_file.h"
#include "nvtd/core/process_state.h"
#include "nvtd/events/camera_address.h"
#include "nvtd/events/consumer_pass.h"
#include "nvtd/events/notify_delivery.h"
#include "nvtd/events/pull_answer.h"
#include "nvtd/events/state_watcher.h"

namespace nvtd {
namespace {

struct EventState {
  // The table lock: guards table (entries, states, count, port, address), thread, stop, work.
  std::mutex lock;
  SubscriptionTable table;
  std::thread thread;
  bool stop = false;
  bool work = false;                      // something to deliver: the thread passes at once
  std::condition_variable wake;           // ends the thread's wait on stop and on work
  std::atomic<bool> workers_stop{false};  // delivery workers end after their current message
};

// The watcher thread and what starts and stops it; used by the main thread only.
struct WatcherControl {
  std::string directory = camera_state::kDirectory;
  std::thread thread;
  UniqueFd wake;  // an eventfd: readable once the watcher should end
  std::atomic<bool> stop{false};
};

// Never destroyed: the threads may still run while the process exits.
EventState& state() {
  static EventState* instance = new EventState;
  return *instance;
}
WatcherControl& watcher() {
  static WatcherControl* instance = new WatcherControl;
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

// Tells the delivery thread there is something to do; the caller holds the lock.
void wake_locked(EventState& s) {
  s.work = true;
  s.wake.notify_all();
}

// A delivery worker: one subscription's Notify messages, then the next batch may start.
void push_worker(PushJob job) {
  EventState& s = state();
  deliver_notifies(job, s.workers_stop);
  std::lock_guard<std::mutex> hold(s.lock);
  push_finished(s.table, job.index, job.serial);
  wake_locked(s);
}

void state_watcher_thread(std::string directory, int wake_fd) {
  pthread_setname_np(pthread_self(), "nvtd-states");
  if (camera_state::ensure_directory(directory) != 0)
    trace("state directory %s refused\n", directory.c_str());
  StateWatcher states(directory);  // this thread's own: the states as it last read them
  trace("watching %s (%s)\n", directory.c_str(), states.watching() ? "inotify" : "each second");
  for (const auto& [name, value] : states.scan()) event_publish(name, value);
  while (!watcher().stop.load()) {
    for (const StateChange& change : states.wait_for_changes(wake_fd, 1000)) {
      trace("state %s = %s\n", change.name.c_str(), change.value.c_str());
      event_publish(change.name, change.value);
    }
  }
}

}  // namespace

int event_init(int http_port, const std::string& directory) {
  WatcherControl& w = watcher();
  if (!directory.empty()) w.directory = directory;
  StateMap current = StateWatcher(w.directory).scan();
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  std::vector<int> closed;
  for (int index = 0; index < kMaxSubscriptions; ++index) table_remove(s.table, index, &closed);
  close_all(closed);
  uint64_t serial = s.table.next_serial;  // workers of earlier entries must not match new ones
  s.table = SubscriptionTable{};
  s.table.next_serial = serial;
  s.table.http_port = http_port;
  s.table.states = std::move(current);
  return 0;
}

int event_start_watcher() {
  WatcherControl& w = watcher();
  if (w.thread.joinable()) return 0;
  w.wake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!w.wake.valid()) return -1;
  w.stop = false;
  w.thread = std::thread(state_watcher_thread, w.directory, w.wake.get());
  return 0;
}

void event_stop_watcher() {
  WatcherControl& w = watcher();
  if (!w.thread.joinable()) return;
  w.stop = true;
  uint64_t one = 1;
  if (::write(w.wake.get(), &one, sizeof one) < 0) trace("watcher wake failed\n");
  w.thread.join();
  w.wake.reset();
}

int event_refresh_address() {
  std::string address = fresh_camera_address();  // a settings exchange: outside the lock
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  s.table.camera_address = address;
  return 0;
}

int event_add_consumer(const ConsumerSpec& consumer, const EventAccount& owner, TopicMask topics,
                       int duration) {
  event_refresh_address();
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  int index = table_add(s.table, consumer, owner, topics, duration, std::time(nullptr));
  if (index < 0) return index;
  if (!s.thread.joinable()) {
    s.stop = false;
    s.work = false;
    s.workers_stop = false;
    s.thread = std::thread(consumer_manager_thread);
  }
  wake_locked(s);
  return index;
}

int event_set_expiry(int index, const EventAccount& account, std::time_t expiry) {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  if (!table_may_use(s.table, index, account)) return -2;
  return table_set_expiry(s.table, index, expiry);
}

std::time_t event_expiry(int index, const EventAccount& account) {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  if (!table_may_use(s.table, index, account)) return 0;
  return s.table.entries[index].expiry;
}

int event_remove_consumer(int index, const EventAccount& account) {
  EventState& s = state();
  std::vector<int> closed;
  std::thread finished;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    if (!table_may_use(s.table, index, account)) return -2;
    table_remove(s.table, index, &closed);
    if (s.table.consumer_count == 0 && s.thread.joinable()) finished = stop_thread_locked(s);
  }
  close_all(closed);
  join_thread(std::move(finished));  // without the lock: the thread's pass needs it
  return 0;
}

int event_synchronize(int index, const EventAccount& account) {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  if (!table_may_use(s.table, index, account)) return -2;
  table_synchronize(s.table, index, std::time(nullptr));
  wake_locked(s);
  return 0;
}

int event_add_puller(int index, const EventAccount& account, int connection, int timeout,
                     const char* message_id, int message_limit, bool relay) {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  if (!table_may_use(s.table, index, account)) return -1;
  std::time_t now = std::time(nullptr);
  int slot = table_add_puller(s.table, index, connection, timeout, message_limit, message_id, now,
                              std::chrono::steady_clock::now());
  if (slot < 0) return -1;
  s.table.entries[index].pullers[slot].relay = relay;
  SocketPassIo io;
  answer_waiting_slots(s.table, index, now, io);  // messages wait: answered at once
  wake_locked(s);                                 // the thread's next wake-up may be earlier
  return 0;
}

int event_pull_now(int index, const EventAccount& account, int timeout, const char* message_id,
                   int message_limit, std::string* body) {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  if (!table_may_use(s.table, index, account)) return -1;
  std::time_t now = std::time(nullptr);
  // Parked for a moment to keep the pull point alive, then taken out again.
  int slot = table_add_puller(s.table, index, -1, timeout, message_limit, message_id, now,
                              std::chrono::steady_clock::now());
  if (slot < 0) return -1;
  const Subscription& entry = s.table.entries[index];
  PullAnswerFields fields{entry.pullers[slot].message_id_header, index, now, entry.expiry};
  table_release_slot(s.table, index, slot);
  std::vector<EventMessage> messages = table_take(s.table, index, size_t(message_limit));
  *body = format_pull_messages_body(CameraUrl{s.table.camera_address, s.table.http_port}, fields,
                                    messages);
  return 0;
}

int event_publish(const std::string& name, const std::string& value) {
  EventState& s = state();
  std::lock_guard<std::mutex> hold(s.lock);
  int queued = table_publish(s.table, name, value, std::time(nullptr));
  if (queued > 0) wake_locked(s);
  return queued;
}

void event_stop() {
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

void consumer_manager_thread() {
  using std::chrono::seconds;
  using std::chrono::steady_clock;
  EventState& s = state();
  pthread_setname_np(pthread_self(), "nvtd-events");  // seen in /proc/PID/task/*/comm
  trace("enter %s\n", "ConsumerManagerThread");
  SocketPassIo io;
  std::unique_lock<std::mutex> hold(s.lock);
  SteadyTime next_look = steady_clock::now() + seconds(1);  // expiry: once a second
  while (!s.stop) {
    s.wake.wait_until(hold, next_deadline(s.table, next_look), [&s] { return s.stop || s.work; });
    if (s.stop) break;
    s.work = false;
    SteadyTime now = steady_clock::now();
    if (now >= next_look) next_look = now + seconds(1);
    std::vector<PushJob> pushes = run_pass(s.table, std::time(nullptr), now, io);
    // Each consumer gets a worker of its own: a slow or dead one delays nobody else.
    for (PushJob& job : pushes) std::thread(push_worker, std::move(job)).detach();
  }
  s.workers_stop = true;
  trace("exit %s\n", "ConsumerManagerThread");
}

}  // namespace nvtd
