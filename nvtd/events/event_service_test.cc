// The table behind its lock, the thread's life and the answers on held connections, with
// socket pairs standing in for PullMessages connections.
#include "nvtd/events/event_service.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "common/state_file.h"
#include "nvtd/core/config_test_util.h"
#include "nvtd/core/operation.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/events/event_handlers.h"
#include "nvtd/events/time_text.h"
#include "nvtd/soap/envelope.h"

namespace nvtd {
namespace {

// The two topics "motion" raises.
constexpr TopicMask kMotionTopics = (1u << kTopicMotionAlarm) | (1u << kTopicCellMotion);

// Everything the peer wrote until it closed or wait_ms passed without data.
std::string read_until_quiet(int fd, int wait_ms) {
  std::string data;
  char buffer[4096];
  for (int rounds = 0; rounds < 100; ++rounds) {
    struct pollfd p {
      fd, POLLIN, 0
    };
    if (poll(&p, 1, wait_ms) != 1) break;
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) {
      data += "<EOF>";
      break;
    }
    data.append(buffer, size_t(n));
  }
  return data;
}

void expect_consistent_length(const std::string& answer) {
  size_t blank = answer.find("\r\n\r\n");
  ASSERT_NE(blank, std::string::npos);
  size_t at = answer.find("Content-Length: ");
  ASSERT_NE(at, std::string::npos);
  long length = std::strtol(answer.c_str() + at + 16, nullptr, 10);
  std::string rest = answer.substr(blank + 4);
  if (rest.size() >= 5 && rest.compare(rest.size() - 5, 5, "<EOF>") == 0)
    rest.resize(rest.size() - 5);
  EXPECT_EQ(size_t(length), rest.size());
  EXPECT_EQ(rest.compare(0, kEnvelopeOpeningLength, EnvelopeOpening), 0);
}

Request current_request;
void set_request(const std::string& body) {
  current_request = request_with_body(body);
}

const EventAccount kAdmin{"", true};

ConsumerSpec pull_point() {
  ConsumerSpec desc;
  desc.pull = true;
  return desc;
}

// A socket pair: [0] is parked as the PullMessages connection, [1] is the client's end.
struct Pair {
  Pair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fd), 0); }
  ~Pair() { close(fd[1]); }
  int fd[2] = {-1, -1};
};

class Events : public ::testing::Test {
 protected:
  ScopedConfig scoped_config;
  void SetUp() override {
    char pattern[] = "/tmp/event-states-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    chmod(dir_.c_str(), 0755);
    scoped_config.set(&Config::no_auth, true);
    make_service();
  }
  void TearDown() override {
    use_event_service(nullptr);
    service_.reset();
    std::system(("rm -rf " + dir_).c_str());
  }
  // A fresh service, as at start-up, reading the states now in the directory.
  void make_service() {
    use_event_service(nullptr);
    service_ = std::make_unique<EventService>(8080, dir_);
    use_event_service(service_.get());
  }
  EventService& events() { return *service_; }
  std::string dir_;
  std::unique_ptr<EventService> service_;
};

PullRequest parked(int timeout, const char* message_id, int limit) {
  return PullRequest{timeout, message_id, limit};
}

TEST_F(Events, FirstPullGetsTheInitializedStateAndRemovalCloses) {
  ASSERT_EQ(camera_state::write(dir_, "motion", "true"), 0);
  make_service();  // states are read at start-up
  int index = events().add_consumer(pull_point(), kAdmin, kMotionTopics, 60).index;
  ASSERT_EQ(index, 0);
  EXPECT_TRUE(events().delivery_running());
  Pair pair;
  ASSERT_EQ(events().add_puller(index, kAdmin, pair.fd[0], parked(30, "urn:uuid:m", 5)),
            EventOutcome::kDone);
  std::string answer = read_until_quiet(pair.fd[1], 1000);
  EXPECT_NE(answer.find("<tt:SimpleItem Name=\"State\" Value=\"true\"/>"), std::string::npos);
  EXPECT_NE(answer.find("<tt:SimpleItem Name=\"IsMotion\" Value=\"true\"/>"), std::string::npos);
  EXPECT_NE(answer.find("PropertyOperation=\"Initialized\""), std::string::npos);
  EXPECT_NE(answer.find("<wsa5:MessageID>urn:uuid:m</wsa5:MessageID>"), std::string::npos);
  EXPECT_EQ(answer.substr(answer.size() - 5), "<EOF>");  // answered and closed
  expect_consistent_length(answer);
  Pair waiting;
  ASSERT_EQ(events().add_puller(index, kAdmin, waiting.fd[0], parked(30, nullptr, 1)),
            EventOutcome::kDone);
  EXPECT_EQ(events().remove_consumer(index, EventAccount{"ann", false}),  // not ann's
            EventOutcome::kUnknown);
  // Removal answers the held pull without messages, closes it and stops the thread.
  EXPECT_EQ(events().remove_consumer(index, kAdmin), EventOutcome::kDone);
  EXPECT_FALSE(events().delivery_running());
  std::string ended = read_until_quiet(waiting.fd[1], 1000);
  EXPECT_NE(ended.find("PullMessagesResponse"), std::string::npos);
  EXPECT_EQ(ended.find("NotificationMessage"), std::string::npos);
  EXPECT_EQ(ended.substr(ended.size() - 5), "<EOF>");
}

TEST_F(Events, WatchedStateReachesAWaitingPullerAndSilenceTimesOut) {
  ASSERT_TRUE(events().start_watcher());
  int index = events().add_consumer(pull_point(), kAdmin, 1u << kTopicMotionAlarm, 60).index;
  Pair first;
  ASSERT_EQ(events().add_puller(index, kAdmin, first.fd[0], parked(30, nullptr, 1)),
            EventOutcome::kDone);
  read_until_quiet(first.fd[1], 1000);  // the Initialized message
  Pair waiting;
  ASSERT_EQ(events().add_puller(index, kAdmin, waiting.fd[0], parked(30, nullptr, 1)),
            EventOutcome::kDone);
  ASSERT_EQ(camera_state::write(dir_, "motion", "true"), 0);
  std::string changed = read_until_quiet(waiting.fd[1], 3000);
  EXPECT_NE(changed.find("PropertyOperation=\"Changed\""), std::string::npos);
  EXPECT_NE(changed.find("Value=\"true\""), std::string::npos);
  expect_consistent_length(changed);
  Pair silent;
  ASSERT_EQ(events().add_puller(index, kAdmin, silent.fd[0], parked(1, nullptr, 1)),
            EventOutcome::kDone);
  std::string empty = read_until_quiet(silent.fd[1], 4000);
  EXPECT_EQ(empty.find("NotificationMessage"), std::string::npos);
  EXPECT_NE(empty.find("<tev:PullMessagesResponse><tev:CurrentTime>"), std::string::npos);
  expect_consistent_length(empty);
}

TEST_F(Events, RenewsSetTheTimeAskedForCutToTheMaximum) {
  int index = events().add_consumer(pull_point(), kAdmin, kAllTopics, 60).index;
  struct Case {
    std::string termination;
    bool accepted;
    std::string answered;  // "" when the answer is now + the maximum
  } cases[] = {
      {"PT60S", true, "+60"},  {"PT2M", true, "+120"},
      {"P1D", true, "+600"},   {"2040-01-01T00:00:00Z", true, "+600"},
      {"P100Y", true, "+600"}, {"P333333333331Y", true, "+600"},
      {"PT0S", false, ""},     {"2001-01-01T00:00:00Z", false, ""},
      {"soon", false, ""},     {"-P333333333331Y", false, ""},
  };
  for (const Case& c : cases) {
    set_request("<Body><TerminationTime>" + c.termination +
                "</TerminationTime><SubscriptionId>0</SubscriptionId></Body>");
    OutputCapture out;
    std::time_t before = std::time(nullptr);
    EXPECT_EQ(handle_renew(current_request, out.reply()), HandlerOutcome::kAnswered)
        << c.termination;
    std::string answer = out.take();
    if (!c.accepted) {
      EXPECT_NE(answer.find("UnacceptableTerminationTimeFault"), std::string::npos);
      continue;
    }
    std::time_t expiry = events().expiry(index, kAdmin).value_or(0);
    int seconds = std::atoi(c.answered.c_str() + 1);
    EXPECT_GE(expiry, before + seconds) << c.termination;
    EXPECT_LE(expiry, std::time(nullptr) + seconds) << c.termination;
    EXPECT_NE(answer.find("<wsnt:TerminationTime>" + format_utc_time(expiry)), std::string::npos);
  }
  set_request(
      "<Body><TerminationTime>PT60S</TerminationTime>"
      "<SubscriptionId>4</SubscriptionId></Body>");
  OutputCapture out;
  EXPECT_EQ(handle_renew(current_request, out.reply()), HandlerOutcome::kAnswered);
  EXPECT_NE(out.take().find("HTTP/1.0 400 Bad Request\r\n"), std::string::npos);
}

TEST_F(Events, WithoutAConnectionAPullIsAnsweredAtOnceInTheReply) {
  events().add_consumer(pull_point(), kAdmin, kMotionTopics, 60);
  set_request(
      "<Body><SubscriptionId>0</SubscriptionId><Timeout>PT30S</Timeout>"
      "<MessageLimit>1</MessageLimit></Body>");
  for (const char* expected : {"Name=\"State\"", "Name=\"IsMotion\"",
                               "</tev:TerminationTime>"
                               "</tev:PullMessagesResponse>"}) {
    OutputCapture out;
    EXPECT_EQ(handle_pull_messages(current_request, out.reply()), HandlerOutcome::kAnswered);
    EXPECT_NE(out.take().find(expected), std::string::npos) << expected;
  }
}

// A MessageID cut inside "&amp;" is echoed escaped, so every reply stays one document.
TEST_F(Events, RepliesEchoTheCutMessageIdEscaped) {
  const std::string id = std::string(60, 'x') + "&amp;tail";
  const std::string echoed = "<wsa5:MessageID>" + std::string(60, 'x') + "&amp;am</wsa5:MessageID>";
  set_request("<s:Envelope><s:Header><wsa:MessageID>" + id +
              "</wsa:MessageID></s:Header><s:Body><SubscriptionId>0</SubscriptionId>"
              "</s:Body></s:Envelope>");
  auto reply = [](Handler handler) {
    OutputCapture out;
    EXPECT_EQ(handler(current_request, out.reply()), HandlerOutcome::kAnswered);
    return out.take();
  };
  EXPECT_NE(reply(handle_create_pull_point_subscription).find(echoed), std::string::npos);
  EXPECT_NE(reply(handle_renew).find(echoed), std::string::npos);
  EXPECT_NE(reply(handle_event_set_synchronization_point).find(echoed), std::string::npos);
  EXPECT_NE(reply(handle_unsubscribe).find(echoed), std::string::npos);
}

}  // namespace
}  // namespace nvtd
