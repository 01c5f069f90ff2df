// The consumer manager's per-pass decisions, with connections recorded instead of written.
#include "nvtd/events/consumer_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nvtd {
namespace {

// The two topics "motion" raises.
constexpr TopicMask kMotionTopics = (1u << kTopicMotionAlarm) | (1u << kTopicCellMotion);

class RecordingIo : public PassIo {
 public:
  int send_messages(const SubscriptionTable& table, int index, int slot,
                    const std::vector<EventMessage>& messages, std::time_t) override {
    int fd = table.entries[index].pullers[slot].connection;
    log.push_back("send " + std::to_string(fd) + " x" + std::to_string(messages.size()));
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
const EventAccount kAdmin{"", true};
const SteadyTime kStart{};

SteadyTime at(int seconds) {
  return kStart + std::chrono::seconds(seconds);
}

int add_pull_point(SubscriptionTable& table) {
  ConsumerSpec desc;
  desc.pull = true;
  return table_add(table, desc, kAdmin, 1u << kTopicMotionAlarm, 60, 1000).index;
}

TEST(ConsumerPass, WaitingPullersTakeUpToTheirLimitAndAreClosed) {
  SubscriptionTable table;
  int index = add_pull_point(table);  // one Initialized message waits
  table_publish(table, "motion", "true", 1001);
  table_publish(table, "motion", "false", 1001);
  table_add_puller(table, index, 7, 30, 2, nullptr, 1000, kStart);
  table_add_puller(table, index, 8, 30, 5, nullptr, 1000, kStart);
  table_add_puller(table, index, 9, 30, 5, nullptr, 1000, kStart);
  RecordingIo io;
  EXPECT_TRUE(run_pass(table, 1001, at(1), io).empty());
  EXPECT_EQ(io.log, (Log{"send 7 x2", "close 7", "send 8 x1", "close 8"}));
  EXPECT_TRUE(table.entries[index].pullers[2].in_use);  // nothing left: it waits on
  // A failed write keeps the messages for the next pull.
  table_publish(table, "motion", "true", 1002);
  io.failing_fd = 9;
  io.log.clear();
  run_pass(table, 1002, at(2), io);
  EXPECT_EQ(io.log, (Log{"send 9 x1", "close 9"}));
  EXPECT_EQ(table.entries[index].queue.size(), 1u);
}

TEST(ConsumerPass, TimedOutPullersGetTheEmptyAnswerAndExpiryClosesWithout) {
  SubscriptionTable table;
  int index = add_pull_point(table);
  table_take(table, index, 10);
  table_add_puller(table, index, 7, 2, 1, nullptr, 1000, kStart);
  table_add_puller(table, index, 8, 30, 1, nullptr, 1000, kStart);
  RecordingIo io;
  run_pass(table, 1001, at(1), io);
  EXPECT_TRUE(io.log.empty());  // not before its Timeout
  run_pass(table, 1002, at(2), io);
  EXPECT_EQ(io.log, (Log{"empty 7", "close 7"}));
  io.log.clear();
  run_pass(table, 1061, at(61), io);
  EXPECT_EQ(io.log, (Log{"close 8"}));
  EXPECT_FALSE(table.entries[index].in_use);
  EXPECT_EQ(table.consumer_count, 1);  // only removal lowers the count
}

TEST(ConsumerPass, OnePushDeliveryAtATimePerSubscription) {
  SubscriptionTable table;
  ConsumerSpec push{"10.1.2.3", 8080, "/onvif/notify", "http://10.1.2.3:8080/onvif/notify", false};
  table.camera_address = "10.99.0.2";
  int index = table_add(table, push, kAdmin, kMotionTopics, 60, 1000).index;
  RecordingIo io;
  std::vector<PushJob> jobs = run_pass(table, 1000, at(0), io);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].messages.size(), 2u);  // both topics' Initialized
  EXPECT_EQ(jobs[0].host, "10.1.2.3");
  EXPECT_EQ(jobs[0].port_text, "8080");
  EXPECT_EQ(jobs[0].camera.address, "10.99.0.2");
  table_publish(table, "motion", "true", 1001);
  EXPECT_TRUE(run_pass(table, 1001, at(1), io).empty());  // the first is still under way
  push_finished(table, index, jobs[0].serial + 1);        // another subscription's worker
  EXPECT_TRUE(run_pass(table, 1001, at(1), io).empty());
  push_finished(table, index, jobs[0].serial);
  jobs = run_pass(table, 1001, at(1), io);
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_FALSE(jobs[0].messages[0].initialized);
  EXPECT_TRUE(io.log.empty());
}

TEST(ConsumerPass, PushesKeepThePaceHoweverManyAreQueued) {
  SubscriptionTable table;
  ConsumerSpec push{"10.1.2.3", 8080, "/n", "http://10.1.2.3:8080/n", false};
  int index = table_add(table, push, kAdmin, 1u << kTopicMotionAlarm, 60, 1000).index;
  for (int n = 0; n < 15; ++n) table_synchronize(table, index, 1000);  // 16 queued
  RecordingIo io;
  struct Step {
    int ms;
    std::size_t sent;
  } steps[] = {{0, kNotifyBurst}, {50, 0}, {100, 1}, {1000, 5}, {1000, 0}};
  for (const Step& step : steps) {
    std::vector<PushJob> jobs =
        run_pass(table, 1000, kStart + std::chrono::milliseconds(step.ms), io);
    EXPECT_EQ(jobs.empty() ? 0 : jobs[0].messages.size(), step.sent) << step.ms << " ms";
    if (!jobs.empty()) push_finished(table, index, jobs[0].serial);
    if (step.ms == 50) {  // the thread wakes when the next may go
      EXPECT_EQ(next_deadline(table, at(60)), kStart + std::chrono::milliseconds(100));
    }
  }
}

}  // namespace
}  // namespace nvtd
