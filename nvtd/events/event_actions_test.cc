// The event operations under their bare names.
#include "nvtd/events/event_actions.h"

#include <gtest/gtest.h>

#include <string>

namespace nvtd {
namespace {

std::string op(const char* text) {
  const char* found = event_operation_for(text);
  return found ? found : "none";
}

TEST(EventActions, BareNamesOfClients) {
  EXPECT_EQ(op("application/soap+xml; charset=utf-8; "
               "action=\"http://www.onvif.org/ver10/events/wsdl/CreatePullPointSubscription\""),
            "CreatePullPointSubscriptionRequest");
  EXPECT_EQ(op("action=\"http://www.onvif.org/ver10/events/wsdl/PullMessages\""),
            "PullMessagesRequest");
  EXPECT_EQ(op("action=\"http://docs.oasis-open.org/wsn/b-2/Subscribe\""), "SubscribeRequest");
  EXPECT_EQ(op("action=\"http://docs.oasis-open.org/wsn/b-2/Unsubscribe\""), "UnsubscribeRequest");
  EXPECT_EQ(op("http://docs.oasis-open.org/wsn/b-2/Renew"), "RenewRequest");
}

TEST(EventActions, NamesInsideOtherNamesDoNotCount) {
  EXPECT_EQ(op("http://docs.oasis-open.org/wsn/b-2/unsubscribe"), "none");
  EXPECT_EQ(op("http://example/SubscribeMore"), "none");
  EXPECT_EQ(op("http://example/Renewal"), "none");
  EXPECT_EQ(op("http://example/GetEventProperties"), "none");
  EXPECT_EQ(op("<tev:CreatePullPointSubscription><tev:InitialTerminationTime>"),
            "CreatePullPointSubscriptionRequest");
}

}  // namespace
}  // namespace nvtd
