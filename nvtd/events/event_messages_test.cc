// The event service's message texts.
#include "nvtd/events/event_messages.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

const CameraUrl kCamera{"10.99.0.2", 8080};

TEST(EventMessages, PullAnswerCarriesItsMessagesInOrder) {
  PullAnswerFields f;
  f.message_id_header = "<wsa5:MessageID>urn:x</wsa5:MessageID>";
  f.index = 3;
  f.now = 2208988800;
  f.termination = 2208988860;
  std::vector<EventMessage> messages = {{kTopicMotionAlarm, false, true, 2208988799},
                                        {kTopicMotionAlarm, true, false, 2208988800}};
  std::string body = format_pull_messages_body(kCamera, f, messages);
  EXPECT_EQ(body.rfind("<SOAP-ENV:Header><wsa5:MessageID>urn:x</wsa5:MessageID><wsa5:To", 0), 0u);
  EXPECT_NE(body.find("http://10.99.0.2:8080/onvif/events_service/SubscriptionManager=3</wsa5:To>"),
            std::string::npos);
  EXPECT_NE(body.find("<tev:CurrentTime>2040-01-01T00:00:00Z</tev:CurrentTime>"
                      "<tev:TerminationTime>2040-01-01T00:01:00Z</tev:TerminationTime>"
                      "<wsnt:NotificationMessage>"),
            std::string::npos);
  size_t first = body.find("PropertyOperation=\"Initialized\"");
  size_t second = body.find("PropertyOperation=\"Changed\"");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(first, second);
  EXPECT_EQ(body.substr(body.size() - 20), "</SOAP-ENV:Envelope>");
  // A full queue's answer is not cut.
  std::vector<EventMessage> full(64, messages[1]);
  std::string big = format_pull_messages_body(kCamera, f, full);
  EXPECT_EQ(big.substr(big.size() - 20), "</SOAP-ENV:Envelope>");
}

TEST(EventMessages, PullHeadCountsWhatFollows) {
  std::string head = format_pull_head(2700, 0);
  EXPECT_EQ(head.rfind("HTTP/1.1 200 OK\r\nStatus: 200 OK\r\nServer: gSOAP/2.8\r\n"
                       "Content-Length: 2700\r\n",
                       0),
            0u);
  EXPECT_NE(head.find("Date: Thu, Jan 01 1970 00:00:00\r\n\r\n"), std::string::npos);
}

TEST(EventMessages, NotifyCarriesThePullShape) {
  EventMessage message{kTopicMotionAlarm, true, false, 0};
  std::string body = format_notify_body(kCamera, message);
  EXPECT_EQ(body.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>", 0), 0u);
  EXPECT_NE(body.find(message_element(message)), std::string::npos);
  EXPECT_NE(body.find(topic_element(message)), std::string::npos);
  EXPECT_NE(body.find(" xmlns:xmime=\"http://www.w3.org/2005/05/xmlmime\" "), std::string::npos);
  EXPECT_NE(body.find("http://10.99.0.2:8080/onvif/events_service/NotificationProducer"),
            std::string::npos);
  std::string head = format_notify_head("/onvif/notify", "10.99.0.1", 9000, int(body.size()));
  EXPECT_EQ(head.rfind("POST /onvif/notify HTTP/1.1\r\nHost: 10.99.0.1:9000\r\n", 0), 0u);
  EXPECT_NE(head.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(format_notify_head("", "10.99.0.1", 80, 1).rfind("POST / HTTP/1.1", 0), 0u);
}

TEST(EventMessages, SubscriptionReplies) {
  std::string created = format_create_pull_point_response(kCamera, "m1", 0, 0, 60);
  EXPECT_NE(created.find("<wsa5:Address>http://10.99.0.2:8080/onvif/events_service/"
                         "SubscriptionManager=0</wsa5:Address>"),
            std::string::npos);
  EXPECT_NE(created.find("xmlns:dom0=\"http://10.99.0.2:8080/onvif/events_service\">0<"),
            std::string::npos);
  EXPECT_NE(created.find("<wsnt:TerminationTime>1970-01-01T00:01:00Z<"), std::string::npos);
  // A push subscription's address names its manager as a pull point's does: clients that
  // send back only the address (not the ReferenceParameters) reach it.
  std::string subscribed = format_subscribe_response(kCamera, "m3", 4, 0, 60);
  EXPECT_NE(subscribed.find("<wsa5:Address>http://10.99.0.2:8080/onvif/events_service/"
                            "SubscriptionManager=4</wsa5:Address>"),
            std::string::npos);
  std::string renewed = format_renew_response(kCamera, "m2", "2040-01-01T00:00:00Z", "now");
  EXPECT_NE(renewed.find("<wsnt:RenewResponse><wsnt:TerminationTime>2040-01-01T00:00:00Z"),
            std::string::npos);
}

}  // namespace
}  // namespace nvtd
