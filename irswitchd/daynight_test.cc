// The day/night decision, reading by reading, without clocks.
#include "irswitchd/daynight.h"

#include <gtest/gtest.h>

#include <vector>

#include "imagelib/stats_layout.h"

namespace irswitchd {
namespace {

using Action = DayNightAction;

// Feeds the averages with the default thresholds; returns the index of each non-None action.
std::vector<std::pair<int, Action>> feed(DayNightState* state, const std::vector<uint32_t>& avgs) {
  std::vector<std::pair<int, Action>> actions;
  for (size_t i = 0; i < avgs.size(); ++i) {
    const Action a = day_night_step(state, avgs[i], 10, 20);
    if (a != Action::kNone) actions.push_back({static_cast<int>(i), a});
  }
  return actions;
}

std::vector<uint32_t> repeat(uint32_t value, int n) {
  return std::vector<uint32_t>(n, value);
}

std::vector<uint32_t> join(std::initializer_list<std::vector<uint32_t>> parts) {
  std::vector<uint32_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(DayNight, OnlyEightConsecutiveDarkReadingsSwitchToNight) {
  DayNightState state;
  const auto avgs = join({{15, 15}, repeat(9, 7), {15}, repeat(9, 8)});
  const auto actions = feed(&state, avgs);
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].first, 17);  // the eighth 9 of the second run
  EXPECT_EQ(actions[0].second, Action::kToNight);
  EXPECT_FALSE(state.is_day);
  EXPECT_EQ(state.hold, 0);
}

TEST(DayNight, TheThresholdsThemselvesCountAsStaying) {
  DayNightState day;
  EXPECT_TRUE(feed(&day, repeat(10, 20)).empty());  // the night threshold is not below it
  DayNightState night;
  night.is_day = false;
  EXPECT_TRUE(feed(&night, join({repeat(21, 7), {20}, repeat(21, 7)})).empty());
  const auto actions = feed(&night, {21});
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].second, Action::kToDay);
}

TEST(DayNight, PendingCountLeavesTheHoldCount) {
  DayNightState state;
  feed(&state, repeat(15, 5));
  feed(&state, repeat(3, 7));
  EXPECT_EQ(state.hold, 5);
  EXPECT_EQ(state.toward_night, 7);
  feed(&state, {15});
  EXPECT_EQ(state.toward_night, 0);
  EXPECT_EQ(state.hold, 6);
}

TEST(DayNight, FilterIsReassertedAfter301StableReadings) {
  DayNightState state;
  EXPECT_TRUE(feed(&state, repeat(50, 301)).empty());
  const auto actions = feed(&state, {50});
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].second, Action::kReassertDay);
  EXPECT_EQ(state.hold, 0);
  // ... and again 302 readings later; at night it re-asserts the night position.
  EXPECT_EQ(feed(&state, repeat(50, 302)).size(), 1u);
  feed(&state, repeat(0, 8));
  const auto night = feed(&state, repeat(5, 302));
  ASSERT_EQ(night.size(), 1u);
  EXPECT_EQ(night[0].first, 301);
  EXPECT_EQ(night[0].second, Action::kReassertNight);
}

TEST(DayNight, AverageLumaOfTheAeTiles) {
  std::vector<uint8_t> cfa(imagelib::kCfaResultSize, 0);
  for (int i = 0; i < 96; ++i) {
    // 12 x 64 + 63 counts as 12 (integer division per tile); half the tiles 12, half 13.
    imagelib::put_le16(cfa.data() + imagelib::kCfaAeOffset + i * 6, (12 + i % 2) * 64 + 63);
  }
  uint32_t sum = 0;
  EXPECT_EQ(average_luma(cfa.data(), &sum), 12u);
  EXPECT_EQ(sum, 48u * 12 + 48u * 13);
}

}  // namespace
}  // namespace irswitchd
