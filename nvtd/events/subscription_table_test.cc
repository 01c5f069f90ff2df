// The subscription table's rules, without threads or sockets.
#include "nvtd/events/subscription_table.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

ConsumerSpec pull_point() {
  ConsumerSpec desc;
  desc.pull = true;
  return desc;
}

TEST(SubscriptionTable, LowestFreeEntryAndFullTable) {
  SubscriptionTable table;
  for (int i = 0; i < kMaxSubscriptions; ++i) EXPECT_EQ(table_add(table, pull_point(), 60, 100), i);
  EXPECT_EQ(table_add(table, pull_point(), 60, 100), -1);
  EXPECT_EQ(table.consumer_count, 20);
  std::vector<int> closed;
  EXPECT_EQ(table_remove(table, 0, &closed), 0);
  EXPECT_EQ(table_remove(table, 0, &closed), -2);
  EXPECT_EQ(table_remove(table, 25, &closed), -2);
  EXPECT_EQ(table.consumer_count, 19);
  EXPECT_EQ(table_add(table, pull_point(), 60, 100), 0);
}

TEST(SubscriptionTable, NewEntryWaitsForItsInitialEvent) {
  SubscriptionTable table;
  ConsumerSpec push{"10.1.2.3", 8080, "/onvif/notify", "http://10.1.2.3:8080/onvif/notify", false};
  int index = table_add(table, push, 30, 1000);
  const Subscription& entry = table.entries[index];
  EXPECT_EQ(entry.port_text, "8080");
  EXPECT_EQ(entry.expiry, 1030);
  EXPECT_EQ(entry.event_pending, -1);
  EXPECT_FALSE(entry.pull);
  int pull = table_add(table, pull_point(), 30, 1000);
  EXPECT_TRUE(table.entries[pull].initial_message_pending);
}

TEST(SubscriptionTable, PullersOnlyOnPullPointsAndAtMostTen) {
  SubscriptionTable table;
  ConsumerSpec push{"10.1.2.3", 80, "/", "http://10.1.2.3/", false};
  int pushed = table_add(table, push, 60, 0);
  EXPECT_EQ(table_add_puller(table, pushed, 5, 10, nullptr, 0), -1);
  EXPECT_EQ(table_add_puller(table, 7, 5, 10, nullptr, 0), -1);
  EXPECT_EQ(table_add_puller(table, -1, 5, 10, nullptr, 0), -1);
  int pull = table_add(table, pull_point(), 60, 0);
  for (int slot = 0; slot < kMaxPullers; ++slot) {
    EXPECT_EQ(table_add_puller(table, pull, 100 + slot, 10, nullptr, 0), slot);
  }
  EXPECT_EQ(table_add_puller(table, pull, 200, 10, nullptr, 0), -1);
  std::vector<int> closed;
  table_remove(table, pull, &closed);
  EXPECT_EQ(closed.size(), 10u);
  EXPECT_EQ(closed.front(), 100);
}

TEST(SubscriptionTable, EachPullExtendsByTheSubscriptionsOwnDuration) {
  SubscriptionTable table;
  int pull = table_add(table, pull_point(), 60, 1000);
  ASSERT_EQ(table_add_puller(table, pull, 5, 10, "urn:uuid:1", 1005), 0);
  const Subscription& entry = table.entries[pull];
  EXPECT_EQ(entry.expiry, 1120);
  EXPECT_EQ(entry.pullers[0].deadline, 1015);
  EXPECT_EQ(entry.pullers[0].message_id_header, "<wsa5:MessageID>urn:uuid:1</wsa5:MessageID>");
  ASSERT_EQ(table_add_puller(table, pull, 6, 10, nullptr, 1005), 1);
  EXPECT_EQ(entry.pullers[1].message_id_header, "");
}

TEST(SubscriptionTable, TheMessageIdIsEscapedAndItsHeaderKeptWhole) {
  SubscriptionTable table;
  int pull = table_add(table, pull_point(), 60, 1000);
  // An id cut inside "&amp;" and one whose escaping outgrows the old 127-byte header.
  std::string cut = std::string(60, 'x') + "&am";
  std::string angles(63, '<');
  ASSERT_EQ(table_add_puller(table, pull, 5, 10, cut.c_str(), 1000), 0);
  ASSERT_EQ(table_add_puller(table, pull, 6, 10, angles.c_str(), 1000), 1);
  const Subscription& entry = table.entries[pull];
  EXPECT_EQ(entry.pullers[0].message_id_header,
            "<wsa5:MessageID>" + std::string(60, 'x') + "&amp;am</wsa5:MessageID>");
  std::string escaped;
  for (int i = 0; i < 63; ++i) escaped += "&lt;";
  EXPECT_EQ(entry.pullers[1].message_id_header, "<wsa5:MessageID>" + escaped + "</wsa5:MessageID>");
}

TEST(SubscriptionTable, RenewalsAddAndAbsoluteExpiriesPass2038) {
  SubscriptionTable table;
  int index = table_add(table, pull_point(), 60, 1000);
  EXPECT_EQ(table_renew(table, index, 60), 0);
  EXPECT_EQ(table.entries[index].expiry, 1120);
  EXPECT_EQ(table_set_expiry(table, index, 2208988800), 0);
  EXPECT_EQ(table.entries[index].expiry, 2208988800);
  EXPECT_EQ(table_renew(table, index, 10), 0);
  EXPECT_EQ(table.entries[index].expiry, 2208988810);
  EXPECT_EQ(table_renew(table, 3, 10), -2);
  EXPECT_EQ(table_set_expiry(table, 3, 10), -2);
}

}  // namespace
}  // namespace nvtd
