// The event service: the subscription table behind its lock, the ConsumerManagerThread that
// delivers queued messages, times out parked PullMessages and expires subscriptions while at
// least one subscription is counted, and the state watcher thread that turns camera state
// files into messages. One object, made by the program layer at start-up (nvtd/app), which
// hands it to the handlers with use_event_service().
#pragma once

#include <atomic>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "common/unique_fd.h"
#include "nvtd/events/subscription_table.h"

namespace nvtd {

// What an action on an existing subscription came to.
enum class EventOutcome {
  kDone,
  kUnknown,  // no such subscription, or not one this account may use (answered alike)
  kNoRoom,   // a pull point whose 10 puller slots are taken
};

// A PullMessages as a pull point holds it.
struct PullRequest {
  int timeout = 0;                   // seconds, already cut
  const char* message_id = nullptr;  // the request's MessageID (raw) or none
  int message_limit = 1;
};

class EventService {
 public:
  // An empty table with the HTTP port for addresses; reads the camera states of directory
  // (camera_state::kDirectory when empty).
  explicit EventService(int http_port, const std::string& directory = "");
  // Stops the watcher and the delivery thread; held connections close with the table once the
  // last delivery worker has ended.
  ~EventService();
  EventService(const EventService&) = delete;
  EventService& operator=(const EventService&) = delete;

  // Starts the state watcher thread on the directory (long-lived modes); false when it cannot.
  bool start_watcher();
  // Stops and joins the watcher (the end of the process, tests).
  void stop_watcher();

  // Re-reads the camera's IPv4 address (NETWORK "ipaddress") kept for the thread's messages.
  void refresh_address();

  // Adds a push consumer (pull false) or a pull point (pull true; host, path and address
  // empty, port 0) for the owner, covering the topics and passing only the messages content
  // passes; its Initialized messages are queued. Starts the delivery thread.
  AddedSubscription add_consumer(const ConsumerSpec& consumer, const EventAccount& owner,
                                 TopicMask topics, int duration,
                                 const ItemFilter& content = ItemFilter());

  // Sets the expiry of a subscription the account may use.
  EventOutcome set_expiry(int index, const EventAccount& account, std::time_t expiry);
  // A subscription's expiry when the account may use it.
  std::optional<std::time_t> expiry(int index, const EventAccount& account);

  // Frees a subscription the account may use and closes its held connections; stops the
  // delivery thread when the count reaches 0.
  EventOutcome remove_consumer(int index, const EventAccount& account);

  // Queues the Initialized messages of a subscription the account may use again.
  EventOutcome synchronize(int index, const EventAccount& account);

  // Parks a PullMessages connection (server mode) or reply FIFO (relay: non-blocking) on a
  // pull point the account may use; answers it at once when messages wait. kDone: the
  // descriptor belongs to the slot now.
  EventOutcome add_puller(int index, const EventAccount& account, int connection,
                          const PullRequest& pull, bool relay = false);

  // Without a connection to hold (CGI mode): the body of a PullMessages answer at once, with
  // up to message_limit waiting messages or none; nullopt when the account has no such pull
  // point.
  std::optional<std::string> pull_now(int index, const EventAccount& account,
                                      const PullRequest& pull);

  // A camera state as read (the watcher; tests): queues a Changed message for every
  // subscription covering one of its topics when its value changed. Returns the messages queued.
  int publish(const std::string& name, const std::string& value);

  // A change a service made (a media topic's message, its time set here): queued as Changed
  // for every subscription covering its topic. Returns the messages queued.
  int publish_change(EventMessage message);

  // Stops the delivery thread (if running) whatever the count.
  void stop_delivery();

  // For tests: whether the delivery thread runs and how many subscriptions are counted.
  bool delivery_running();
  int consumer_count();

  struct Shared;  // the table and the delivery thread, shared with delivery workers

 private:
  std::shared_ptr<Shared> shared_;
  std::string directory_;
  // The watcher thread and what stops it; used by the owner's thread only.
  std::thread watcher_;
  UniqueFd watcher_wake_;  // an eventfd: readable once the watcher should end
  std::atomic<bool> watcher_stop_{false};
};

// The event service the handlers act on: set by the program layer once it has made one, and
// unset (nullptr) before it goes. The handlers run only in between.
void use_event_service(EventService* service);
EventService& event_service();

// Re-reads the camera's address in the event service when there is one (the device room's
// SetNetworkInterfaces, after a change).
void event_refresh_address();

// The media services' changes, raised in the event service when there is one (none in unit
// tests of the media rooms): a profile made, deleted or given or rid of a configuration; a
// configuration of a type ("VideoSource", "VideoEncoder", "AudioEncoder", "Metadata", ...) set.
void event_profile_changed(std::string_view token);
void event_configuration_changed(std::string_view token, const char* type);

}  // namespace nvtd
