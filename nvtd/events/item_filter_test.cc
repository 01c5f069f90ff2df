// The ItemFilter message-content filter: what it reads, what it refuses, and what passes.
#include "nvtd/events/item_filter.h"

#include <gtest/gtest.h>

#include "nvtd/events/event_topics.h"

namespace nvtd {
namespace {

constexpr char kTt[] = "xmlns:tt=\"http://www.onvif.org/ver10/schema\"";

// The cell motion detector's message raised and cleared, and the motion alarm's raised.
const std::vector<MessageItem> kRaised = message_items({kTopicCellMotion, true, false, 0});
const std::vector<MessageItem> kCleared = message_items({kTopicCellMotion, false, false, 0});
const std::vector<MessageItem> kAlarm = message_items({kTopicMotionAlarm, true, false, 0});

struct Case {
  const char* expression;
  bool raised, cleared, alarm;  // whether each message passes
};

TEST(ItemFilter, ExpressionsPassTheMessagesTheyName) {
  const Case cases[] = {
      {"boolean(//tt:SimpleItem[@Name=\"IsMotion\" and @Value=\"true\"])", true, false, false},
      {" boolean ( //tt:SimpleItem [ @Name = 'IsMotion' ] ) ", true, true, false},
      {"boolean(//SimpleItem[@Value=\"true\"])", true, false, true},
      {"not(boolean(//tt:SimpleItem[@Name=\"Rule\"]))", false, false, true},
      {"boolean(//tt:SimpleItem[@Name=\"Source\" and @Value=\"HD\"]) or "
       "boolean(//tt:SimpleItem[@Name=\"IsMotion\" and @Value=\"false\"])",
       false, true, true},
      // "and" binds tighter than "or".
      {"boolean(//tt:SimpleItem[@Name=\"State\"]) or boolean(//tt:SimpleItem[@Value=\"true\"]) "
       "and boolean(//tt:SimpleItem[@Name=\"Rule\"])",
       true, false, true},
      {"(boolean(//tt:SimpleItem[@Name=\"State\"]) or boolean(//tt:SimpleItem[@Value=\"true\"]))"
       " and boolean(//tt:SimpleItem[@Name=\"Rule\"])",
       true, false, false},
      {"boolean(//tt:SimpleItem[not(@Name=\"IsMotion\" or @Name=\"State\") and @Value=\"HD\"])",
       false, false, true},
      {"boolean(//tt:SimpleItem[(@Value=&quot;true&quot;)])", true, false, true},
      {"boolean(//tt:ElementItem[@Name=\"IsMotion\"])", false, false, false},
      {"not(boolean(//tt:ElementItem[@Name=\"IsMotion\"]))", true, true, true},
  };
  for (const Case& c : cases) {
    ItemFilter filter;
    ASSERT_EQ(ItemFilter::read(kItemFilterDialect, c.expression, kTt, &filter), ItemFilterRead::kOk)
        << c.expression;
    EXPECT_EQ(filter.matches(kRaised), c.raised) << c.expression;
    EXPECT_EQ(filter.matches(kCleared), c.cleared) << c.expression;
    EXPECT_EQ(filter.matches(kAlarm), c.alarm) << c.expression;
  }
}

TEST(ItemFilter, WhatItDoesNotReadIsRefusedAndLeavesTheFilter) {
  std::string deep = "boolean(//tt:SimpleItem[@Name=\"State\"])";
  for (int i = 0; i < kItemFilterMaxDepth; ++i) deep = "not(" + deep + ")";
  std::string many = "boolean(//tt:SimpleItem[@Name=\"a\"";
  for (size_t i = 0; i < kItemFilterMaxSteps; ++i) many += " or @Name=\"a\"";
  const std::pair<std::string, ItemFilterRead> cases[] = {
      {"", ItemFilterRead::kInvalidExpression},
      {"boolean(//tt:SimpleItem)", ItemFilterRead::kInvalidExpression},
      {"//tt:SimpleItem[@Name=\"State\"]", ItemFilterRead::kInvalidExpression},
      {"boolean(//tt:Item[@Name=\"State\"])", ItemFilterRead::kInvalidExpression},
      {"boolean(//wsnt:SimpleItem[@Name=\"State\"])", ItemFilterRead::kInvalidExpression},
      {"boolean(//tt:SimpleItem[@Type=\"State\"])", ItemFilterRead::kInvalidExpression},
      {"boolean(//tt:SimpleItem[@Name!=\"State\"])", ItemFilterRead::kInvalidExpression},
      {"boolean(//tt:SimpleItem[@Name=\"State])", ItemFilterRead::kInvalidExpression},
      {"boolean(//tt:SimpleItem[@Name=\"State\"]) and", ItemFilterRead::kInvalidExpression},
      {"boolean(//tt:SimpleItem[@Name=\"State\"]) extra", ItemFilterRead::kInvalidExpression},
      {"boolean(//tt:SimpleItem[@Name=\"State\"]) andnot", ItemFilterRead::kInvalidExpression},
      {"boolean(//tt:SimpleItem[@Name=&foo;])", ItemFilterRead::kInvalidExpression},
      {"boolean(//tt:SimpleItem[@Name=\"a\"", ItemFilterRead::kInvalidExpression},
      {"count(//tt:SimpleItem) > 1", ItemFilterRead::kInvalidExpression},
      {deep, ItemFilterRead::kInvalidExpression},
      {many + "])", ItemFilterRead::kInvalidExpression},
      {std::string(kItemFilterMaxLength + 1, ' ') + "boolean(//tt:SimpleItem[@Name=\"a\"])",
       ItemFilterRead::kInvalidExpression},
  };
  for (const auto& [expression, expected] : cases) {
    ItemFilter filter;
    ItemFilter::read(kItemFilterDialect, "boolean(//tt:SimpleItem[@Name=\"IsMotion\"])", kTt,
                     &filter);
    EXPECT_EQ(ItemFilter::read(kItemFilterDialect, expression,
                               std::string(kTt) + " xmlns:wsnt=\"http://docs.oasis-open.org/"
                                                  "wsn/b-2\"",
                               &filter),
              expected)
        << expression;
    EXPECT_TRUE(filter.matches(kRaised) && !filter.matches(kAlarm)) << expression;
  }
  ItemFilter filter;
  EXPECT_EQ(ItemFilter::read("http://www.w3.org/TR/1999/REC-xpath-19991116",
                             "boolean(//tt:SimpleItem[@Name=\"State\"])", kTt, &filter),
            ItemFilterRead::kUnknownDialect);
  EXPECT_TRUE(filter.empty() && filter.matches(kAlarm));
  // One level less than the bound is read.
  std::string deepest = "boolean(//tt:SimpleItem[@Name=\"State\"])";
  for (int i = 0; i + 2 < kItemFilterMaxDepth; ++i) deepest = "not(" + deepest + ")";
  EXPECT_EQ(ItemFilter::read(kItemFilterDialect, deepest, kTt, &filter), ItemFilterRead::kOk);
}

}  // namespace
}  // namespace nvtd
