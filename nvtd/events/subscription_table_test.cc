// The subscription table's rules, without threads or sockets: entries, shares, queues and the
// property messages.
#include "nvtd/events/subscription_table.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

// The two topics "motion" raises.
constexpr TopicMask kMotionTopics = (1u << kTopicMotionAlarm) | (1u << kTopicCellMotion);

const SteadyTime kSteady{};
const EventAccount kAdmin{"admin", true};

ConsumerSpec pull_point() {
  ConsumerSpec desc;
  desc.pull = true;
  return desc;
}

// The queue as "topic:state:I|C" texts.
std::vector<std::string> queue_of(const SubscriptionTable& table, int index) {
  std::vector<std::string> out;
  for (const EventMessage& m : table.entries[index].queue) {
    out.push_back(std::to_string(m.topic) + (m.state ? ":true:" : ":false:") +
                  (m.initialized ? "I" : "C"));
  }
  return out;
}
using Texts = std::vector<std::string>;

TEST(SubscriptionTable, EntriesSharesAndReclaimedExpiries) {
  SubscriptionTable table;
  EventAccount ann{"ann", false}, bob{"bob", false};
  using Status = AddedSubscription::Status;
  for (int i = 0; i < kAccountShare; ++i)
    EXPECT_EQ(table_add(table, pull_point(), ann, 1, 60, 100).index, i);
  EXPECT_EQ(table_add(table, pull_point(), ann, 1, 60, 100).status, Status::kShareTaken);
  EXPECT_EQ(table_add(table, pull_point(), bob, 1, 60, 100).index, kAccountShare);
  while (table_add(table, pull_point(), kAdmin, 1, 30, 100).status == Status::kAdded) {
  }
  EXPECT_EQ(table_add(table, pull_point(), kAdmin, 1, 60, 100).status, Status::kTableFull);
  EXPECT_EQ(table.consumer_count, kMaxSubscriptions);
  // Expired entries are reclaimed before the table counts as full.
  EXPECT_EQ(table_add(table, pull_point(), kAdmin, 1, 60, 131).index, kAccountShare + 1);
  // Only the maker or an administrator may use an entry.
  EXPECT_TRUE(table_may_use(table, 0, ann));
  EXPECT_FALSE(table_may_use(table, 0, bob));
  EXPECT_TRUE(table_may_use(table, 0, kAdmin));
  EXPECT_FALSE(table_may_use(table, kAccountShare + 1, ann));
  EXPECT_FALSE(table_may_use(table, 25, kAdmin));
  std::vector<int> closed;
  EXPECT_TRUE(table_remove(table, 0, &closed));
  EXPECT_FALSE(table_remove(table, 0, &closed));
}

TEST(SubscriptionTable, PropertiesInitializedThenChanged) {
  SubscriptionTable table;
  table_publish(table, "motion", "true", 50);  // before any subscription: only remembered
  int both = table_add(table, pull_point(), kAdmin, kMotionTopics, 60, 100).index;
  int alarm = table_add(table, pull_point(), kAdmin, 1u << kTopicMotionAlarm, 60, 100).index;
  EXPECT_EQ(queue_of(table, both), (Texts{"0:true:I", "1:true:I"}));
  EXPECT_EQ(queue_of(table, alarm), (Texts{"0:true:I"}));
  EXPECT_EQ(table_publish(table, "motion", "true", 101), 0);     // no change
  EXPECT_EQ(table_publish(table, "daynight", "night", 101), 0);  // no topic
  EXPECT_EQ(table_publish(table, "motion", "false", 102), 3);
  EXPECT_EQ(table_publish(table, "motion", "true", 103), 3);
  EXPECT_EQ(queue_of(table, alarm), (Texts{"0:true:I", "0:false:C", "0:true:C"}));
  EXPECT_EQ(table.entries[alarm].queue.back().utc, 103);
  table_take(table, alarm, 2);
  table_synchronize(table, alarm, 104);
  EXPECT_EQ(queue_of(table, alarm), (Texts{"0:true:C", "0:true:I"}));
  // A state that goes away reads as false.
  table_publish(table, "motion", "", 105);
  EXPECT_FALSE(table_topic_state(table, kTopicMotionAlarm));
}

// Changes a service made go as Changed to the subscriptions covering their topic and passing
// their content filter; being no properties, they have no Initialized message.
TEST(SubscriptionTable, ChangesGoToCoveringSubscriptionsOnly) {
  SubscriptionTable table;
  constexpr TopicMask kMedia = (1u << kTopicProfileChanged) | (1u << kTopicConfigurationChanged);
  int media = table_add(table, pull_point(), kAdmin, kMedia, 60, 100).index;
  int motion = table_add(table, pull_point(), kAdmin, kMotionTopics, 60, 100).index;
  ItemFilter encoders;
  ASSERT_EQ(ItemFilter::read(kItemFilterDialect,
                             "boolean(//tt:SimpleItem[@Name=\"Type\" and @Value=\"VideoEncoder\"])",
                             "", &encoders),
            ItemFilterRead::kOk);
  int filtered = table_add(table, pull_point(), kAdmin, kMedia, 60, 100, encoders).index;
  EventMessage profile = media_change(kTopicProfileChanged, "p1", nullptr);
  EventMessage encoder =
      media_change(kTopicConfigurationChanged, "T-VEConf-stream1", "VideoEncoder");
  EXPECT_EQ(table_publish_change(table, profile), 1);
  EXPECT_EQ(table_publish_change(table, encoder), 2);
  EXPECT_EQ(queue_of(table, media), (Texts{"6:false:C", "7:false:C"}));
  EXPECT_EQ(queue_of(table, filtered), (Texts{"7:false:C"}));
  EXPECT_STREQ(table.entries[filtered].queue.front().token, "T-VEConf-stream1");
  // A token longer than any the media services store is cut, not overrun.
  EXPECT_EQ(std::string(media_change(kTopicProfileChanged, std::string(40, 'x'), nullptr).token),
            std::string(31, 'x'));
  EXPECT_EQ(queue_of(table, motion).size(), 2u);  // its two Initialized only
}

TEST(SubscriptionTable, QueueKeepsOrderAndDropsTheOldestWhenFull) {
  SubscriptionTable table;
  int index = table_add(table, pull_point(), kAdmin, 1u << kTopicMotionAlarm, 60, 100).index;
  for (size_t i = 0; i < kQueueBound + 3; ++i)
    table_publish(table, "motion", i % 2 == 0 ? "true" : "false", std::time_t(200 + i));
  const auto& queue = table.entries[index].queue;
  ASSERT_EQ(queue.size(), kQueueBound);
  EXPECT_EQ(queue.front().utc, 203);  // the Initialized and three Changed went
  EXPECT_EQ(queue.back().utc, std::time_t(200 + kQueueBound + 2));
  std::vector<EventMessage> taken = table_take(table, index, 5);
  ASSERT_EQ(taken.size(), 5u);
  EXPECT_EQ(taken[4].utc, 207);
  EXPECT_EQ(queue.size(), kQueueBound - 5);
  EXPECT_EQ(table_take(table, index, 1000).size(), kQueueBound - 5);
}

TEST(SubscriptionTable, PullersOnPullPointsKeepThemAlive) {
  SubscriptionTable table;
  ConsumerSpec push{"10.1.2.3", 8080, "/n", "http://10.1.2.3:8080/n", false};
  int pushed = table_add(table, push, kAdmin, kAllTopics, 60, 100).index;
  int pulled = table_add(table, pull_point(), kAdmin, kAllTopics, 10, 100).index;
  EXPECT_EQ(table_add_puller(table, pushed, 5, 30, 1, nullptr, 100, kSteady), std::nullopt);
  for (int slot = 0; slot < kMaxPullers; ++slot)
    EXPECT_EQ(table_add_puller(table, pulled, 10 + slot, 30, 0, nullptr, 100, kSteady), slot);
  EXPECT_EQ(table_add_puller(table, pulled, 99, 30, 1, nullptr, 100, kSteady), std::nullopt);
  EXPECT_EQ(table.entries[pulled].expiry, 130);  // at least the Timeout from now
  EXPECT_EQ(table.entries[pulled].pullers[0].message_limit, 1);
  EXPECT_EQ(table_release_slot(table, pulled, 3), 13);
  EXPECT_EQ(table_release_slot(table, pulled, 3), -1);
  EXPECT_EQ(table_add_puller(table, pulled, 50, 5, 1, "a<b", 200, kSteady), 3);
  EXPECT_EQ(table.entries[pulled].expiry, 210);  // its own length when that is longer
  EXPECT_EQ(table.entries[pulled].pullers[3].message_id_header,
            "<wsa5:MessageID>a&lt;b</wsa5:MessageID>");
}

}  // namespace
}  // namespace nvtd
