// The event service and its threads (see event_service.h).
#include "nvtd/events/event_service.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "common/state_file.h"
#include "nvtd/core/process_state.h"
#include "nvtd/events/camera_address.h"
#include "nvtd/events/consumer_pass.h"
#include "nvtd/events/notify_delivery.h"
#include "nvtd/events/pull_answer.h"
#include "nvtd/events/state_watcher.h"

namespace nvtd {

struct EventService::Shared : std::enable_shared_from_this<Shared> {
  // The table lock: guards table (entries, states, count, port, address), thread, stop, work.
  std::mutex lock;
  SubscriptionTable table;
  std::thread thread;
  bool stop = false;
  bool work = false;                      // something to deliver: the thread passes at once
  std::condition_variable wake;           // ends the thread's wait on stop and on work
  std::atomic<bool> workers_stop{false};  // delivery workers end after their current message

  ~Shared();
  // Tells the delivery thread there is something to do; the caller holds the lock.
  void wake_locked();
  // Takes the thread out for joining; the caller holds the lock.
  std::thread stop_thread_locked();
  // The ConsumerManagerThread's body.
  void deliver();
};

namespace {

void close_all(const std::vector<int>& connections) {
  SocketPassIo io;
  for (int fd : connections) io.close_connection(fd);
}

void join_thread(std::thread thread) {
  if (!thread.joinable()) return;
  trace("Waiting for consumer thread...\n");
  thread.join();
  trace("consumer thread done\n");
}

// A delivery worker: one subscription's Notify messages, then the next batch may start. It
// keeps the shared part alive, so the service may go while it runs.
void push_worker(std::shared_ptr<EventService::Shared> shared, PushJob job) {
  deliver_notifies(job, shared->workers_stop);
  std::lock_guard<std::mutex> hold(shared->lock);
  push_finished(shared->table, job.index, job.serial);
  shared->wake_locked();
}

void state_watcher_thread(EventService* service, std::string directory, int wake_fd,
                          const std::atomic<bool>* stop) {
  pthread_setname_np(pthread_self(), "nvtd-states");
  if (camera_state::ensure_directory(directory) != 0)
    trace("state directory %s refused\n", directory.c_str());
  StateWatcher states(directory);  // this thread's own: the states as it last read them
  trace("watching %s (%s)\n", directory.c_str(), states.watching() ? "inotify" : "each second");
  for (const auto& [name, value] : states.scan()) service->publish(name, value);
  while (!stop->load()) {
    for (const StateChange& change : states.wait_for_changes(wake_fd, 1000)) {
      trace("state %s = %s\n", change.name.c_str(), change.value.c_str());
      service->publish(change.name, change.value);
    }
  }
}

// A pull point that goes ends its held PullMessages with an empty answer (a client, or the web
// server in relay mode, gets a SOAP answer rather than a closed connection); the caller holds
// the lock. The writes never wait.
void answer_held_pulls(const SubscriptionTable& table, int index) {
  const Subscription& entry = table.entries[index];
  if (!entry.pull) return;
  std::time_t now = std::time(nullptr);
  for (int slot = 0; slot < kMaxPullers; ++slot) {
    const PullerSlot& puller = entry.pullers[slot];
    if (puller.in_use && puller.connection >= 0) send_pull_response_empty(table, index, slot, now);
  }
}

EventService* bound_service = nullptr;

}  // namespace

// The held PullMessages connections close with the table (quietly: the process is ending).
EventService::Shared::~Shared() {
  for (Subscription& entry : table.entries) {
    for (PullerSlot& puller : entry.pullers) {
      if (puller.in_use && puller.connection >= 0) ::close(puller.connection);
    }
  }
}

void EventService::Shared::wake_locked() {
  work = true;
  wake.notify_all();
}

std::thread EventService::Shared::stop_thread_locked() {
  stop = true;
  wake.notify_all();
  return std::move(thread);
}

void EventService::Shared::deliver() {
  using std::chrono::seconds;
  using std::chrono::steady_clock;
  pthread_setname_np(pthread_self(), "nvtd-events");  // seen in /proc/PID/task/*/comm
  trace("enter %s\n", "ConsumerManagerThread");
  SocketPassIo io;
  std::unique_lock<std::mutex> hold(lock);
  SteadyTime next_look = steady_clock::now() + seconds(1);  // expiry: once a second
  while (!stop) {
    wake.wait_until(hold, next_deadline(table, next_look), [this] { return stop || work; });
    if (stop) break;
    work = false;
    SteadyTime now = steady_clock::now();
    if (now >= next_look) next_look = now + seconds(1);
    std::vector<PushJob> pushes = run_pass(table, std::time(nullptr), now, io);
    // Each consumer gets a worker of its own: a slow or dead one delays nobody else.
    for (PushJob& job : pushes) {
      std::thread(push_worker, shared_from_this(), std::move(job)).detach();
    }
  }
  workers_stop = true;
  trace("exit %s\n", "ConsumerManagerThread");
}

EventService::EventService(int http_port, const std::string& directory)
    : shared_(std::make_shared<Shared>()),
      directory_(directory.empty() ? camera_state::kDirectory : directory) {
  shared_->table.http_port = http_port;
  shared_->table.states = StateWatcher(directory_).scan();
}

EventService::~EventService() {
  stop_watcher();
  std::thread finished;
  {
    std::lock_guard<std::mutex> hold(shared_->lock);
    if (shared_->thread.joinable()) finished = shared_->stop_thread_locked();
  }
  if (finished.joinable()) finished.join();  // quietly: the process is ending
}

bool EventService::start_watcher() {
  if (watcher_.joinable()) return true;
  watcher_wake_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!watcher_wake_.valid()) return false;
  watcher_stop_ = false;
  watcher_ =
      std::thread(state_watcher_thread, this, directory_, watcher_wake_.get(), &watcher_stop_);
  return true;
}

void EventService::stop_watcher() {
  if (!watcher_.joinable()) return;
  watcher_stop_ = true;
  uint64_t one = 1;
  if (::write(watcher_wake_.get(), &one, sizeof one) < 0) trace("watcher wake failed\n");
  watcher_.join();
  watcher_wake_.reset();
}

void EventService::refresh_address() {
  std::string address = fresh_camera_address();  // a settings exchange: outside the lock
  std::lock_guard<std::mutex> hold(shared_->lock);
  shared_->table.camera_address = address;
}

AddedSubscription EventService::add_consumer(const ConsumerSpec& consumer,
                                             const EventAccount& owner, TopicMask topics,
                                             int duration, const ItemFilter& content) {
  refresh_address();
  Shared& s = *shared_;
  std::lock_guard<std::mutex> hold(s.lock);
  AddedSubscription added =
      table_add(s.table, consumer, owner, topics, duration, std::time(nullptr), content);
  if (added.status != AddedSubscription::Status::kAdded) return added;
  if (!s.thread.joinable()) {
    s.stop = false;
    s.work = false;
    s.workers_stop = false;
    s.thread = std::thread(&Shared::deliver, &s);
  }
  s.wake_locked();
  return added;
}

EventOutcome EventService::set_expiry(int index, const EventAccount& account, std::time_t expiry) {
  std::lock_guard<std::mutex> hold(shared_->lock);
  if (!table_may_use(shared_->table, index, account)) return EventOutcome::kUnknown;
  table_set_expiry(shared_->table, index, expiry);
  return EventOutcome::kDone;
}

std::optional<std::time_t> EventService::expiry(int index, const EventAccount& account) {
  std::lock_guard<std::mutex> hold(shared_->lock);
  if (!table_may_use(shared_->table, index, account)) return std::nullopt;
  return shared_->table.entries[index].expiry;
}

EventOutcome EventService::remove_consumer(int index, const EventAccount& account) {
  Shared& s = *shared_;
  std::vector<int> closed;
  std::thread finished;
  {
    std::lock_guard<std::mutex> hold(s.lock);
    if (!table_may_use(s.table, index, account)) return EventOutcome::kUnknown;
    answer_held_pulls(s.table, index);
    table_remove(s.table, index, &closed);
    if (s.table.consumer_count == 0 && s.thread.joinable()) finished = s.stop_thread_locked();
  }
  close_all(closed);
  join_thread(std::move(finished));  // without the lock: the thread's pass needs it
  return EventOutcome::kDone;
}

EventOutcome EventService::synchronize(int index, const EventAccount& account) {
  std::lock_guard<std::mutex> hold(shared_->lock);
  if (!table_may_use(shared_->table, index, account)) return EventOutcome::kUnknown;
  table_synchronize(shared_->table, index, std::time(nullptr));
  shared_->wake_locked();
  return EventOutcome::kDone;
}

EventOutcome EventService::add_puller(int index, const EventAccount& account, int connection,
                                      const PullRequest& pull, bool relay) {
  Shared& s = *shared_;
  std::lock_guard<std::mutex> hold(s.lock);
  if (!table_may_use(s.table, index, account)) return EventOutcome::kUnknown;
  std::time_t now = std::time(nullptr);
  std::optional<int> slot =
      table_add_puller(s.table, index, connection, pull.timeout, pull.message_limit,
                       pull.message_id, now, std::chrono::steady_clock::now());
  if (!slot) return EventOutcome::kNoRoom;
  s.table.entries[index].pullers[*slot].relay = relay;
  SocketPassIo io;
  answer_waiting_slots(s.table, index, now, io);  // messages wait: answered at once
  s.wake_locked();                                // the thread's next wake-up may be earlier
  return EventOutcome::kDone;
}

std::optional<std::string> EventService::pull_now(int index, const EventAccount& account,
                                                  const PullRequest& pull) {
  Shared& s = *shared_;
  std::lock_guard<std::mutex> hold(s.lock);
  if (!table_may_use(s.table, index, account)) return std::nullopt;
  std::time_t now = std::time(nullptr);
  // Parked for a moment to keep the pull point alive, then taken out again.
  std::optional<int> slot =
      table_add_puller(s.table, index, -1, pull.timeout, pull.message_limit, pull.message_id, now,
                       std::chrono::steady_clock::now());
  if (!slot) return std::nullopt;
  const Subscription& entry = s.table.entries[index];
  PullAnswerFields fields{entry.pullers[*slot].message_id_header, index, now, entry.expiry};
  table_release_slot(s.table, index, *slot);
  std::vector<EventMessage> messages = table_take(s.table, index, size_t(pull.message_limit));
  return format_pull_messages_body(CameraUrl{s.table.camera_address, s.table.http_port}, fields,
                                   messages);
}

int EventService::publish(const std::string& name, const std::string& value) {
  std::lock_guard<std::mutex> hold(shared_->lock);
  int queued = table_publish(shared_->table, name, value, std::time(nullptr));
  if (queued > 0) shared_->wake_locked();
  return queued;
}

int EventService::publish_change(EventMessage message) {
  message.utc = std::time(nullptr);
  std::lock_guard<std::mutex> hold(shared_->lock);
  int queued = table_publish_change(shared_->table, message);
  if (queued > 0) shared_->wake_locked();
  return queued;
}

void EventService::stop_delivery() {
  std::thread finished;
  {
    std::lock_guard<std::mutex> hold(shared_->lock);
    if (shared_->thread.joinable()) finished = shared_->stop_thread_locked();
  }
  join_thread(std::move(finished));
}

bool EventService::delivery_running() {
  std::lock_guard<std::mutex> hold(shared_->lock);
  return shared_->thread.joinable();
}

int EventService::consumer_count() {
  std::lock_guard<std::mutex> hold(shared_->lock);
  return shared_->table.consumer_count;
}

void use_event_service(EventService* service) {
  bound_service = service;
}

EventService& event_service() {
  if (bound_service == nullptr) {
    std::fprintf(stderr, "nvtd: no event service at the event handlers\n");
    std::abort();
  }
  return *bound_service;
}

void event_refresh_address() {
  if (bound_service != nullptr) bound_service->refresh_address();
}

void event_profile_changed(std::string_view token) {
  event_configuration_changed(token, nullptr);
}

void event_configuration_changed(std::string_view token, const char* type) {
  if (bound_service == nullptr) return;
  bound_service->publish_change(
      media_change(type ? kTopicConfigurationChanged : kTopicProfileChanged, token, type));
}

}  // namespace nvtd
