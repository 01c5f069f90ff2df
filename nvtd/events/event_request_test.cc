// What the event handlers read from a request: the topic filter, however the tag is cut.
#include "nvtd/events/event_request.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

constexpr char kSet[] = "Dialect=\"http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet\"";

TEST(EventRequest, TopicFilters) {
  struct Case {
    std::string body;
    TopicMask topics;
    std::optional<EventFault> fault;
  } cases[] = {
      {"<s:Body/>", kAllTopics, std::nullopt},
      {std::string("<wsnt:TopicExpression ") + kSet + ">tns1:VideoSource/MotionAlarm" +
           "</wsnt:TopicExpression>",
       1u << kTopicMotionAlarm, std::nullopt},
      {"<wsnt:TopicExpression "
       "Dialect=\"urn:x\">tns1:VideoSource/MotionAlarm</wsnt:TopicExpression>",
       kAllTopics, EventFault::kTopicExpressionDialectUnknown},
      // No "<" ahead of the element (the element reader takes a name without one): nvtd once
      // ended here with an uncaught std::out_of_range.
      {std::string("wsnt:TopicExpression ") + kSet +
           ">tns1:VideoSource/MotionAlarm</wsnt:TopicExpression>" +
           "<wsse:Username>eve</wsse:Username>",
       1u << kTopicMotionAlarm, std::nullopt},
  };
  for (const Case& c : cases) {
    Request request;
    request.body = c.body;
    TopicFilter filter = request_topic_filter(request);
    EXPECT_EQ(filter.fault, c.fault) << c.body;
    if (!c.fault) {
      EXPECT_EQ(filter.topics, c.topics) << c.body;
    }
  }
}

}  // namespace
}  // namespace nvtd
