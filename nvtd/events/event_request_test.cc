// What the event handlers read from a request: the topic filter, however its tag is cut.
#include "nvtd/events/event_request.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(EventRequest, TopicFilterWithOrWithoutAnOpeningBracket) {
  const std::string filter =
      "wsnt:TopicExpression Dialect=\"http://www.onvif.org/ver10/tev/topicExpression/"
      "ConcreteSet\">tns1:VideoSource/MotionAlarm</wsnt:TopicExpression>";
  // The element reader takes a name without "<" ahead of it: that once threw out of nvtd.
  for (const std::string& body : {"<" + filter, filter + "<wsse:Username>e</wsse:Username>"}) {
    Request request;
    request.body = body;
    TopicFilter read = request_topic_filter(request);
    EXPECT_FALSE(read.fault) << body;
    EXPECT_EQ(read.topics, 1u << kTopicMotionAlarm) << body;
  }
}

}  // namespace
}  // namespace nvtd
