// The table behind its lock, the thread's life and the answers on held connections, with
// socket pairs standing in for PullMessages connections.
#include "nvtd/events/event_service.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "nvtd/core/envelope.h"
#include "nvtd/core/http_io.h"
#include "nvtd/core/operation.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/events/event_handlers.h"

namespace nvtd {
namespace {

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

class EventService : public ::testing::Test {
 protected:
  void SetUp() override { EventInit(8080); }
  void TearDown() override {
    for (int i = 0; i < 20; ++i) EventRemoveConsumer(i);
    EventStop();
  }
};

TEST_F(EventService, FirstPullIsAnsweredAtOnceAndRemovalCloses) {
  int index = EventAddConsumer("", 0, "", "", 60, true);
  ASSERT_EQ(index, 0);
  EXPECT_TRUE(event_thread_running());
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  ASSERT_EQ(EventAddPuller(index, pair[0], 30, "urn:uuid:m", 1), 0);
  std::string answer = read_until_quiet(pair[1], 200);
  EXPECT_NE(answer.find("Value=\"false\""), std::string::npos);
  EXPECT_NE(answer.find("<wsa5:MessageID>urn:uuid:m</wsa5:MessageID>"), std::string::npos);
  expect_consistent_length(answer);
  EXPECT_EQ(EventRemoveConsumer(index), 0);  // closes the held connection, stops the thread
  EXPECT_FALSE(event_thread_running());
  EXPECT_EQ(read_until_quiet(pair[1], 1000), "<EOF>");
  close(pair[1]);
}

TEST_F(EventService, WithoutAConnectionTheAnswerFailsAndFreesItsSlot) {
  int index = EventAddConsumer("", 0, "", "", 60, true);
  EXPECT_EQ(EventAddPuller(index, -1, 30, nullptr, 1), 0);
  for (int slot = 0; slot < 10; ++slot) EXPECT_EQ(EventAddPuller(index, -1, 30, nullptr, 1), 0);
  EXPECT_EQ(EventAddPuller(index, -1, 30, nullptr, 1), -1);
}

TEST_F(EventService, ThreadDeliversToWaitingPullersAndTimesThemOut) {
  int index = EventAddConsumer("", 0, "", "", 60, true);
  int first[2], second[2], third[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, first), 0);
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, second), 0);
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, third), 0);
  ASSERT_EQ(EventAddPuller(index, first[0], 30, nullptr, 1), 0);  // the initial message
  ASSERT_EQ(EventAddPuller(index, second[0], 1, nullptr, 1), 0);  // waits for the thread
  std::string delivered = read_until_quiet(second[1], 4000);
  EXPECT_NE(delivered.find("NotificationMessage"), std::string::npos);
  expect_consistent_length(delivered);
  EXPECT_EQ(delivered.substr(delivered.size() - 5), "<EOF>");    // kept until its deadline
  ASSERT_EQ(EventAddPuller(index, third[0], 1, nullptr, 1), 0);  // nothing left to say
  std::string empty = read_until_quiet(third[1], 4000);
  EXPECT_EQ(empty.find("NotificationMessage"), std::string::npos);
  EXPECT_NE(empty.find("<tev:PullMessagesResponse><tev:CurrentTime>"), std::string::npos);
  expect_consistent_length(empty);
  EXPECT_EQ(empty.substr(empty.size() - 5), "<EOF>");
  for (int fd : {first[1], second[1], third[1]}) close(fd);
}

TEST_F(EventService, RenewToAnAbsoluteTimeAfter2038) {
  int index = EventAddConsumer("", 0, "", "", 60, true);
  set_request(
      "<s:Envelope><s:Header><wsa:MessageID>m7</wsa:MessageID></s:Header><s:Body>"
      "<wsnt:Renew><wsnt:TerminationTime>2040-01-01T00:00:00Z</wsnt:TerminationTime>"
      "</wsnt:Renew><SubscriptionId>0</SubscriptionId></s:Body></s:Envelope>");
  OutputCapture out;
  EXPECT_EQ(handle_renew(current_request, out.reply()), 0);
  std::string answer = out.take();
  EXPECT_EQ(event_expiry(index), 2208988800);
  EXPECT_NE(answer.find("<wsnt:TerminationTime>2040-01-01T00:00:00Z</wsnt:TerminationTime>"),
            std::string::npos);
}

TEST_F(EventService, RenewByDurationAddsToTheExpiry) {
  int index = EventAddConsumer("", 0, "", "", 60, true);
  std::time_t before = event_expiry(index);
  set_request(
      "<Body><TerminationTime>PT60S</TerminationTime>"
      "<SubscriptionId>0</SubscriptionId></Body>");
  OutputCapture out;
  EXPECT_EQ(handle_renew(current_request, out.reply()), 0);
  EXPECT_EQ(event_expiry(index), before + 60);
  set_request(
      "<Body><TerminationTime>PT60S</TerminationTime>"
      "<SubscriptionId>4</SubscriptionId></Body>");
  EXPECT_EQ(handle_renew(current_request, out.reply()), -1);
  EXPECT_NE(out.take().find("HTTP/1.0 400 Bad Request\r\n"), std::string::npos);
}

// A MessageID cut inside "&amp;" is echoed escaped, so every reply stays one document.
TEST_F(EventService, RepliesEchoTheCutMessageIdEscaped) {
  const std::string id = std::string(60, 'x') + "&amp;tail";
  const std::string echoed = "<wsa5:MessageID>" + std::string(60, 'x') + "&amp;am</wsa5:MessageID>";
  set_request("<s:Envelope><s:Header><wsa:MessageID>" + id +
              "</wsa:MessageID></s:Header><s:Body><SubscriptionId>0</SubscriptionId>"
              "</s:Body></s:Envelope>");
  auto reply = [](Handler handler) {
    OutputCapture out;
    EXPECT_EQ(handler(current_request, out.reply()), 0);
    return out.take();
  };
  EXPECT_NE(reply(handle_create_pull_point_subscription).find(echoed), std::string::npos);
  EXPECT_NE(reply(handle_renew).find(echoed), std::string::npos);
  EXPECT_NE(reply(handle_event_set_synchronization_point).find(echoed), std::string::npos);
  EXPECT_NE(reply(handle_unsubscribe).find(echoed), std::string::npos);
}

}  // namespace
}  // namespace nvtd
