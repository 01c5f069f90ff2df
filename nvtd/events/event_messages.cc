// The event service's message texts (see event_messages.h).
#include "nvtd/events/event_messages.h"

#include "nvtd/events/event_topics.h"
#include "nvtd/events/time_text.h"
#include "nvtd/soap/envelope.h"
#include "nvtd/soap/named_format.h"

namespace nvtd {

namespace {

#define MUST "SOAP-ENV:mustUnderstand=\"true\""

// clang-format off
// Placeholders: {message_id_header} (a complete wsa5:MessageID element or nothing), {address},
// {port}, {index}, {action}, {now}, {termination}, {notifications} (complete elements).
// The pull answers follow the shared EnvelopeOpening, which binds no tns1: each Topic element
// declares it, so that the topic reads as clients expect it.
constexpr char kPullMessagesBody[] =
    "<SOAP-ENV:Header>{message_id_header}<wsa5:To " MUST
    ">http://{address}:{port}/onvif/events_service/SubscriptionManager={index}"
    "</wsa5:To><wsa5:Action " MUST
    ">{action}</wsa5:Action></SOAP-ENV:Header>"
    "<SOAP-ENV:Body><tev:PullMessagesResponse><tev:CurrentTime>{now}</tev:CurrentTime>"
    "<tev:TerminationTime>{termination}</tev:TerminationTime>{notifications}"
    "</tev:PullMessagesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// One notification: {subscription} (the subscription's address), {producer}, {topic} and
// {message} (complete elements).
constexpr char kNotificationMessage[] =
    "<wsnt:NotificationMessage><wsnt:SubscriptionReference><wsa5:Address>{subscription}"
    "</wsa5:Address></wsnt:SubscriptionReference>{topic}<wsnt:ProducerReference>"
    "<wsa5:Address>{producer}</wsa5:Address></wsnt:ProducerReference>{message}"
    "</wsnt:NotificationMessage>";

constexpr char kPullEmptyBody[] =
    "<SOAP-ENV:Header>{message_id_header}<wsa5:ReplyTo " MUST "><wsa5:Address>" URI_WSA5_ANONYMOUS
    "</wsa5:Address>"
    "</wsa5:ReplyTo><wsa5:To " MUST
    ">http://{address}:{port}/onvif/events_service</wsa5:To>"
    "<wsa5:Action " MUST
    ">{action}</wsa5:Action></SOAP-ENV:Header><SOAP-ENV:Body>"
    "<tev:PullMessagesResponse><tev:CurrentTime>{now}</tev:CurrentTime>"
    "<tev:TerminationTime>{deadline}</tev:TerminationTime></tev:PullMessagesResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";

constexpr char kPullHead[] =
    "HTTP/1.1 200 OK\r\nStatus: 200 OK\r\nServer: gSOAP/2.8\r\nContent-Length: {content_length}\r\n"
    "Content-Type: application/soap+xml; charset=utf-8; action=\"{action}\"\r\n"
    "Connection: close\r\nDate: {date}\r\n\r\n";

constexpr char kNotifyBody[] =
    "<SOAP-ENV:Header><wsa5:Action>{action}</wsa5:Action></SOAP-ENV:Header>"
    "<SOAP-ENV:Body><wsnt:Notify>{notification}</wsnt:Notify></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";
constexpr auto kNotify = join_text(kNotifyEnvelopeOpening, kNotifyBody);

constexpr char kNotifyHead[] =
    "POST {target} HTTP/1.1\r\nHost: {host}:{port}\r\nUser-Agent: gSOAP/2.7\r\n"
    "Content-Type: application/soap+xml; charset=utf-8\r\nContent-Length: {body_length}\r\n"
    "Connection: close\r\nAccept-Encoding: gzip, deflate\r\nSOAPAction: \"{action}\"\r\n\r\n";

// Header of the replies to the subscription requests: {message_id}, ReplyTo, To on {address}
// and {port}, Action.
#define REPLY_HEADER(attr, to_path, action)                                          \
  "<SOAP-ENV:Header><wsa5:MessageID>{message_id}</wsa5:MessageID><wsa5:ReplyTo" attr \
  ">"                                                                                \
  "<wsa5:Address>" URI_WSA5_ANONYMOUS "</wsa5:Address></wsa5:ReplyTo><wsa5:To" attr           \
  ">"                                                                                \
  "http://{address}:{port}" to_path "</wsa5:To><wsa5:Action" attr ">" action         \
  "</wsa5:Action>"                                                                   \
  "</SOAP-ENV:Header>"

// Also {index}, {now}, {termination}.
constexpr char kCreatePullPointResponse[] =
    REPLY_HEADER(" " MUST, "/onvif/events_service",
                 NS_TEV "/EventPortType/CreatePullPointSubscriptionResponse")
    "<SOAP-ENV:Body><tev:CreatePullPointSubscriptionResponse><tev:SubscriptionReference>"
    "<wsa5:Address>http://{address}:{port}/onvif/events_service/SubscriptionManager={index}</wsa5:Address>"
    "<wsa5:ReferenceParameters><dom0:SubscriptionId "
    "xmlns:dom0=\"http://{address}:{port}/onvif/events_service\">{index}</dom0:SubscriptionId>"
    "</wsa5:ReferenceParameters></tev:SubscriptionReference>"
    "<wsnt:CurrentTime>{now}</wsnt:CurrentTime><wsnt:TerminationTime>{termination}</wsnt:TerminationTime>"
    "</tev:CreatePullPointSubscriptionResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// Also {index}, {now}, {termination}.
constexpr char kSubscribeBody[] =
    REPLY_HEADER("", "/onvif/events_service", NS_WSNT_BW "/NotificationProducer/SubscribeResponse")
    "<SOAP-ENV:Body><wsnt:SubscribeResponse><wsnt:SubscriptionReference>"
    "<wsa5:Address>http://{address}:{port}/onvif/events_service/SubscriptionManager={index}</wsa5:Address>"
    "<wsa5:ReferenceParameters><dom0:SubscriptionId "
    "xmlns:dom0=\"http://{address}:{port}/onvif/events_service\">{index}</dom0:SubscriptionId>"
    "</wsa5:ReferenceParameters></wsnt:SubscriptionReference>"
    "<wsnt:CurrentTime>{now}</wsnt:CurrentTime><wsnt:TerminationTime>{termination}</wsnt:TerminationTime>"
    "</wsnt:SubscribeResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
constexpr auto kSubscribeResponse = join_text(kEventEnvelopeOpening, kSubscribeBody);

constexpr char kUnsubscribeBody[] =
    REPLY_HEADER("", "/onvif/events_service", NS_WSNT_BW "/SubscriptionManager/UnsubscribeResponse")
    "<SOAP-ENV:Body><wsnt:UnsubscribeResponse></wsnt:UnsubscribeResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";
constexpr auto kUnsubscribeResponse = join_text(kEventEnvelopeOpening, kUnsubscribeBody);

// Also {termination}, {current}.
constexpr char kRenewBody[] =
    REPLY_HEADER("", "/onvif/events_service", NS_WSNT_BW "/SubscriptionManager/RenewResponse")
    "<SOAP-ENV:Body><wsnt:RenewResponse><wsnt:TerminationTime>{termination}</wsnt:TerminationTime>"
    "<wsnt:CurrentTime>{current}</wsnt:CurrentTime></wsnt:RenewResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";
constexpr auto kRenewResponse = join_text(kEventEnvelopeOpening, kRenewBody);

constexpr char kSetSynchronizationPointBody[] =
    REPLY_HEADER(" " MUST, "/onvif/events_service",
                 NS_TEV "/PullPointSubscription/SetSynchronizationPointResponse")
    "<SOAP-ENV:Body><tev:SetSynchronizationPointResponse></tev:SetSynchronizationPointResponse>"
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
constexpr auto kSetSynchronizationPointResponse =
    join_text(kEventEnvelopeOpening, kSetSynchronizationPointBody);

constexpr char kEventPropertiesBody[] =
    "<SOAP-ENV:Header><wsa5:MessageID>urn:uuid:2a7c3e6e-5b1d-4f0a-9c8e-3d9b4f6a1e20"
    "</wsa5:MessageID><wsa5:ReplyTo><wsa5:Address>" URI_WSA5_ANONYMOUS
    "</wsa5:Address></wsa5:ReplyTo>"
    "<wsa5:To>http://localhost/onvif/events_service</wsa5:To>"
    "<wsa5:Action>" NS_TEV
    "/EventPortType/GetEventPropertiesResponse</wsa5:Action>"
    "</SOAP-ENV:Header><SOAP-ENV:Body><tev:GetEventPropertiesResponse>"
    "<tev:TopicNamespaceLocation>http://www.onvif.org/onvif/ver10/topics/topicns.xml"
    "</tev:TopicNamespaceLocation><wsnt:FixedTopicSet>true</wsnt:FixedTopicSet>"
    "{topic_set}"
    "<wsnt:TopicExpressionDialect>" URI_TEV_CONCRETE_SET
    "</wsnt:TopicExpressionDialect>"
    "<wsnt:TopicExpressionDialect>" NS_WSTOP "/TopicExpression/Concrete"
    "</wsnt:TopicExpressionDialect><tev:MessageContentFilterDialect>"
    "http://www.onvif.org/ver10/tev/messageContentFilter/ItemFilter"
    "</tev:MessageContentFilterDialect><tev:MessageContentSchemaLocation>"
    "http://www.onvif.org/onvif/ver10/schema/onvif.xsd</tev:MessageContentSchemaLocation>"
    "</tev:GetEventPropertiesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
constexpr auto kEventProperties = join_text(kEventEnvelopeOpening, kEventPropertiesBody);
// clang-format on

}  // namespace

std::string format_notification(const CameraUrl& camera, const std::string& subscription,
                                const EventMessage& message) {
  std::string base = "http://" + camera.address + ":" + std::to_string(camera.port);
  return named_text(kNotificationMessage,
                    {{"subscription", subscription},
                     {"topic", topic_element(message)},
                     {"producer", base + "/onvif/events_service/NotificationProducer"},
                     {"message", message_element(message)}});
}

std::string format_pull_messages_body(const CameraUrl& camera, const PullAnswerFields& f,
                                      const std::vector<EventMessage>& messages) {
  std::string manager = "http://" + camera.address + ":" + std::to_string(camera.port) +
                        "/onvif/events_service/SubscriptionManager=" + std::to_string(f.index);
  std::string notifications;
  for (const EventMessage& message : messages)
    notifications += format_notification(camera, manager, message);
  return named_text(kPullMessagesBody,
                    {{"message_id_header", f.message_id_header},
                     {"address", camera.address},
                     {"port", camera.port},
                     {"index", f.index},
                     {"action", kPullMessagesResponseAction},
                     {"now", format_utc_time(f.now)},
                     {"termination", format_utc_time(f.termination)},
                     {"notifications", notifications}},
                    notifications.size() + kResponseBufferSize);
}

std::string format_pull_empty_body(const CameraUrl& camera, const std::string& message_id_header,
                                   std::time_t now, std::time_t deadline) {
  return named_text(kPullEmptyBody, {{"message_id_header", message_id_header},
                                     {"address", camera.address},
                                     {"port", camera.port},
                                     {"action", kPullMessagesResponseAction},
                                     {"now", format_utc_time(now)},
                                     {"deadline", format_utc_time(deadline)}});
}

std::string format_pull_head(int content_length, std::time_t now) {
  return named_text(kPullHead, {{"content_length", content_length},
                                {"action", kPullMessagesResponseAction},
                                {"date", format_http_date(now)}});
}

std::string format_notify_body(const CameraUrl& camera, const EventMessage& message) {
  std::string events =
      "http://" + camera.address + ":" + std::to_string(camera.port) + "/onvif/events_service";
  return named_text(
      kNotify.view(),
      {{"action", kNotifyAction}, {"notification", format_notification(camera, events, message)}});
}

std::string format_notify_head(const std::string& path, const std::string& host, int port,
                               int body_length) {
  // A consumer URL without a path still needs a request target.
  return named_text(kNotifyHead, {{"target", path.empty() ? "/" : path.c_str()},
                                  {"host", host},
                                  {"port", port},
                                  {"body_length", body_length},
                                  {"action", kNotifyAction}});
}

std::string format_create_pull_point_response(const CameraUrl& camera, const char* message_id,
                                              int index, std::time_t now, std::time_t termination) {
  return named_text(kCreatePullPointResponse, {{"message_id", message_id},
                                               {"address", camera.address},
                                               {"port", camera.port},
                                               {"index", index},
                                               {"now", format_utc_time(now)},
                                               {"termination", format_utc_time(termination)}});
}

std::string format_subscribe_response(const CameraUrl& camera, const char* message_id, int index,
                                      std::time_t now, std::time_t termination) {
  return named_text(kSubscribeResponse.view(), {{"message_id", message_id},
                                                {"address", camera.address},
                                                {"port", camera.port},
                                                {"index", index},
                                                {"now", format_utc_time(now)},
                                                {"termination", format_utc_time(termination)}});
}

std::string format_unsubscribe_response(const CameraUrl& camera, const char* message_id) {
  return named_text(
      kUnsubscribeResponse.view(),
      {{"message_id", message_id}, {"address", camera.address}, {"port", camera.port}});
}

std::string format_renew_response(const CameraUrl& camera, const char* message_id,
                                  const std::string& termination, const std::string& current) {
  return named_text(kRenewResponse.view(), {{"message_id", message_id},
                                            {"address", camera.address},
                                            {"port", camera.port},
                                            {"termination", termination},
                                            {"current", current}});
}

std::string format_set_synchronization_point_response(const CameraUrl& camera,
                                                      const char* message_id) {
  return named_text(
      kSetSynchronizationPointResponse.view(),
      {{"message_id", message_id}, {"address", camera.address}, {"port", camera.port}});
}

std::string event_properties_envelope() {
  return named_text(kEventProperties.view(), {{"topic_set", topic_set_element()}});
}

}  // namespace nvtd
