// Fuzz target: what a client's event request carries, over any bytes: durations and times,
// the termination a request asks for, its topic and message-content filters and its push
// consumer address, then the subscription made from them in a table that the consumer
// manager passes over.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "nvtd/events/consumer_pass.h"
#include "nvtd/events/consumer_url.h"
#include "nvtd/events/event_request.h"
#include "nvtd/events/subscription_table.h"
#include "nvtd/events/time_text.h"
#include "nvtd/soap/element_reader.h"

namespace {

using nvtd::EventMessage;
using nvtd::SubscriptionTable;

// Answers nothing and closes nothing: the pass's decisions are what is fuzzed.
class QuietIo : public nvtd::PassIo {
 public:
  int send_messages(const SubscriptionTable&, int, int, const std::vector<EventMessage>&,
                    std::time_t) override {
    return 0;
  }
  int send_empty(const SubscriptionTable&, int, int, std::time_t) override { return 0; }
  void close_connection(int) override {}
};

void check(bool holds) {
  if (!holds) __builtin_trap();
}

void fuzz_times(const std::string& text, std::time_t now) {
  int64_t seconds = 0;
  if (nvtd::parse_xs_duration(text, &seconds) == 0) {
    check(seconds >= -INT32_MAX && seconds <= INT32_MAX);
  }
  std::time_t when = 0;
  nvtd::parse_xs_datetime(text, &when);
  nvtd::parse_termination(text, now, &when);
}

// A push consumer that passed the check can go into a request line as it is.
void check_consumer(const nvtd::ConsumerSpec& consumer) {
  for (char c : consumer.path) check(c > ' ' && c < 0x7f && c != '#');
  check(consumer.port >= 1 && consumer.port <= 65535);
  check(!consumer.host.empty() && consumer.host.rfind("127.", 0) != 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SubscriptionTable* table = new SubscriptionTable;
  static std::time_t now = 2000000000;
  static nvtd::SteadyTime steady{};
  if (size < 1) return 0;
  now += data[0] & 0x0f;
  steady += std::chrono::milliseconds(data[0] * 4);
  nvtd::Request request;
  request.body.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
  fuzz_times(request.body, now);

  std::optional<int> seconds = nvtd::requested_seconds(request, "InitialTerminationTime", now, 60);
  if (seconds) check(*seconds > 0 && *seconds <= nvtd::kMaxTerminationSeconds);
  nvtd::TopicFilter filter = nvtd::request_topic_filter(request);
  check((filter.topics & ~nvtd::kAllTopics) == 0);
  nvtd::ContentFilter content = nvtd::request_content_filter(request);
  // A filter that was read is tested against every topic's messages, raised and cleared.
  for (int topic = 0; topic < nvtd::kTopicCount; ++topic) {
    for (bool state : {false, true}) {
      content.items.matches(nvtd::message_items(EventMessage{topic, state, false, now}));
    }
  }
  // The bare expression as well, whatever its element around it.
  nvtd::ItemFilter bare;
  if (nvtd::ItemFilter::read(nvtd::kItemFilterDialect, request.body, request.body, &bare) ==
      nvtd::ItemFilterRead::kOk) {
    check(!bare.empty());
    bare.matches(nvtd::message_items(EventMessage{nvtd::kTopicCellMotion, true, false, now}));
  }
  nvtd::ConsumerSpec consumer;
  consumer.pull = true;
  std::optional<std::string> address = nvtd::element_text(request.body, "Address", 256);
  if (address && nvtd::read_consumer_address(*address, "10.99.0.2", &consumer) ==
                     nvtd::ConsumerAddress::kAccepted) {
    check_consumer(consumer);
  }
  if (filter.fault || content.fault || !seconds) return 0;

  nvtd::EventAccount owner{std::string(1, char('a' + data[0] % 7)), data[0] % 3 == 0};
  int index =
      nvtd::table_add(*table, consumer, owner, filter.topics, *seconds, now, content.items).index;
  nvtd::table_publish(*table, "motion", data[0] & 0x10 ? "true" : "false", now);
  if (index >= 0 && consumer.pull) {
    nvtd::table_add_puller(*table, index, -1, data[0] % 61, data[0], nullptr, now, steady);
  }
  QuietIo io;
  for (nvtd::PushJob& job : nvtd::run_pass(*table, now, steady, io)) {
    check(job.messages.size() <= size_t(nvtd::kNotifyBurst));
    nvtd::push_finished(*table, job.index, job.serial);
  }
  for (const nvtd::Subscription& entry : table->entries) {
    check(entry.queue.size() <= nvtd::kQueueBound);
  }
  if (data[0] & 0x20 && index >= 0) {
    std::vector<int> closed;
    nvtd::table_remove(*table, index, &closed);
  }
  return 0;
}
