// The consumer manager's per-pass decisions, with connections recorded instead of written.
#include "nvtd/events/consumer_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nvtd {
namespace {

class RecordingIo : public PassIo {
 public:
  int send_motion(const SubscriptionTable& table, int index, int slot, std::time_t) override {
    int fd = table.entries[index].pullers[slot].connection;
    log.push_back("motion " + std::to_string(fd));
    return fd == failing_fd ? -1 : 0;
  }
  int send_empty(const SubscriptionTable& table, int index, int slot, std::time_t) override {
    log.push_back("empty " + std::to_string(table.entries[index].pullers[slot].connection));
    return 0;
  }
  void close_connection(int fd) override { log.push_back("close " + std::to_string(fd)); }

  std::vector<std::string> log;
  int failing_fd = -100;
};

using Log = std::vector<std::string>;

ConsumerSpec pull_point() {
  ConsumerSpec desc;
  desc.pull = true;
  return desc;
}

TEST(ConsumerPass, PendingEventGoesToWaitingPullersOnce) {
  SubscriptionTable table;
  int index = table_add(table, pull_point(), 60, 1000);
  table_add_puller(table, index, 7, 30, nullptr, 1000);
  table_add_puller(table, index, 8, 30, nullptr, 1000);
  table.entries[index].pullers[1].answered = true;  // answered when it arrived
  RecordingIo io;
  EXPECT_TRUE(run_pass(table, 1001, io).empty());
  EXPECT_EQ(io.log, (Log{"motion 7"}));
  EXPECT_TRUE(table.entries[index].pullers[0].answered);
  EXPECT_EQ(table.entries[index].event_pending, 0);
  EXPECT_EQ(table.entries[index].event_time, 1001);
  io.log.clear();
  run_pass(table, 1002, io);
  EXPECT_TRUE(io.log.empty());  // answered slots stay open until their deadline
}

TEST(ConsumerPass, FailedWriteFreesTheSlot) {
  SubscriptionTable table;
  int index = table_add(table, pull_point(), 60, 1000);
  table_add_puller(table, index, 7, 30, nullptr, 1000);
  RecordingIo io;
  io.failing_fd = 7;
  run_pass(table, 1001, io);
  EXPECT_EQ(io.log, (Log{"motion 7", "close 7"}));
  EXPECT_FALSE(table.entries[index].pullers[0].in_use);
}

TEST(ConsumerPass, PushConsumerGetsOneJobWithCopiedFields) {
  SubscriptionTable table;
  table.camera_address = "10.99.0.2";
  table.http_port = 8080;
  ConsumerSpec push{"10.99.0.1", 9000, "/onvif/notify", "http://10.99.0.1:9000/onvif/notify",
                    false};
  table_add(table, pull_point(), 60, 1000);
  int index = table_add(table, push, 60, 1000);
  RecordingIo io;
  std::vector<PushJob> jobs = run_pass(table, 1001, io);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].index, index);
  EXPECT_EQ(jobs[0].host, "10.99.0.1");
  EXPECT_EQ(jobs[0].port_text, "9000");
  EXPECT_EQ(jobs[0].path, "/onvif/notify");
  EXPECT_EQ(jobs[0].camera.address, "10.99.0.2");
  EXPECT_EQ(jobs[0].camera.port, 8080);
  EXPECT_TRUE(run_pass(table, 1002, io).empty());  // never retried
}

TEST(ConsumerPass, ExpiryClosesWithoutAnswerAndKeepsTheCount) {
  SubscriptionTable table;
  int index = table_add(table, pull_point(), 5, 1000);
  table.entries[index].event_pending = 0;
  table_add_puller(table, index, 7, 60, nullptr, 1000);  // expiry moves to 1010
  RecordingIo io;
  run_pass(table, 1010, io);
  EXPECT_TRUE(table.entries[index].in_use);  // not later than the expiry yet
  run_pass(table, 1011, io);
  EXPECT_EQ(io.log, (Log{"close 7"}));
  EXPECT_FALSE(table.entries[index].in_use);
  EXPECT_EQ(table.consumer_count, 1);
}

TEST(ConsumerPass, TimedOutPullersGetTheEmptyAnswerUnlessAnswered) {
  SubscriptionTable table;
  int index = table_add(table, pull_point(), 600, 1000);
  table.entries[index].event_pending = 0;
  table_add_puller(table, index, 7, 10, nullptr, 1000);
  table_add_puller(table, index, 8, 10, nullptr, 1000);
  table_add_puller(table, index, 9, 20, nullptr, 1000);
  table.entries[index].pullers[1].answered = true;
  RecordingIo io;
  run_pass(table, 1010, io);
  EXPECT_TRUE(io.log.empty());  // a deadline equal to now has not passed
  run_pass(table, 1011, io);
  EXPECT_EQ(io.log, (Log{"empty 7", "close 7", "close 8"}));
  EXPECT_TRUE(table.entries[index].pullers[2].in_use);
}

TEST(ConsumerPass, ExpiriesAndPullDeadlinesRunOutAcross2038) {
  // Made 30 s before 2^31 seconds (2038-01-19T03:14:08Z), the puller's deadline and the
  // subscription's expiry lie after it: they must run out then, not wrap into the past.
  const std::time_t before = 2147483648LL - 30;
  SubscriptionTable table;
  int index = table_add(table, pull_point(), 60, before);
  table.entries[index].event_pending = 0;
  table_add_puller(table, index, 7, 40, nullptr, before);  // expiry renewed to before + 120
  RecordingIo io;
  run_pass(table, before + 1, io);
  run_pass(table, before + 40, io);
  EXPECT_TRUE(io.log.empty());
  run_pass(table, before + 41, io);
  EXPECT_EQ(io.log, (Log{"empty 7", "close 7"}));
  run_pass(table, before + 120, io);
  EXPECT_TRUE(table.entries[index].in_use);
  run_pass(table, before + 121, io);
  EXPECT_FALSE(table.entries[index].in_use);
}

}  // namespace
}  // namespace nvtd
