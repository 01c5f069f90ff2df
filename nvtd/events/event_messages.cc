// The event service's message texts (see event_messages.h).
#include "nvtd/events/event_messages.h"

#include "nvtd/core/format_text.h"
#include "nvtd/events/time_text.h"

namespace nvtd {

namespace {

#define ANONYMOUS "http://www.w3.org/2005/08/addressing/anonymous"
#define CONCRETE_SET "http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet"
#define ONVIF_SCHEMA "http://www.onvif.org/ver10/schema"
#define EVENTS_WSDL "http://www.onvif.org/ver10/events/wsdl"
#define BW2 "http://docs.oasis-open.org/wsn/bw-2"

// Envelope start of the complete-envelope replies: the prefixes those replies use.
#define EVENT_ENVELOPE_START                                                       \
  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"                                     \
  "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" " \
  "xmlns:SOAP-ENC=\"http://www.w3.org/2003/05/soap-encoding\" "                    \
  "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "                       \
  "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "                                \
  "xmlns:wsa5=\"http://www.w3.org/2005/08/addressing\" "                           \
  "xmlns:tt=\"" ONVIF_SCHEMA                                                       \
  "\" xmlns:wstop=\"http://docs.oasis-open.org/wsn/t-1\" "                         \
  "xmlns:wsnt=\"http://docs.oasis-open.org/wsn/b-2\" xmlns:tev=\"" EVENTS_WSDL     \
  "\" "                                                                            \
  "xmlns:tns1=\"http://www.onvif.org/ver10/topics\" "                              \
  "xmlns:tns=\"http://www.onvif.org/ver10/topics\">"

#define MUST "SOAP-ENV:mustUnderstand=\"true\""

constexpr char kPullMotionBody[] =
    "<SOAP-ENV:Header>%s<wsa5:To " MUST
    ">http://%s:%d/onvif/event_service/SubscriptionManager=%d"
    "</wsa5:To><wsa5:Action " MUST
    ">%s</wsa5:Action></SOAP-ENV:Header>"
    "<SOAP-ENV:Body><tev:PullMessagesResponse><tev:CurrentTime>%s</tev:CurrentTime>"
    "<tev:TerminationTime>%s</tev:TerminationTime><wsnt:NotificationMessage>"
    "<wsnt:SubscriptionReference><wsa5:Address>"
    "http://%s:%d/onvif/event_service/SubscriptionManager=%d</wsa5:Address>"
    "</wsnt:SubscriptionReference><wsnt:Topic Dialect=\"" CONCRETE_SET
    "\">"
    "tns:VideoSource/MotionAlarm</wsnt:Topic><wsnt:Message>"
    "<tt:Message UtcTime=\"%s\" PropertyOperation=\"Changed\" xmlns:tt=\"" ONVIF_SCHEMA
    "\">"
    "<tt:Source><tt:SimpleItem Name=\"Source\" Value=\"HD\"/></tt:Source>"
    "<tt:Data><tt:SimpleItem Name=\"State\" Value=\"%s\"/></tt:Data></tt:Message>"
    "</wsnt:Message></wsnt:NotificationMessage></tev:PullMessagesResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";

constexpr char kPullEmptyBody[] =
    "<SOAP-ENV:Header>%s<wsa5:ReplyTo " MUST "><wsa5:Address>" ANONYMOUS
    "</wsa5:Address>"
    "</wsa5:ReplyTo><wsa5:To " MUST
    ">http://%s:%d/onvif/events_service</wsa5:To>"
    "<wsa5:Action " MUST
    ">%s</wsa5:Action></SOAP-ENV:Header><SOAP-ENV:Body>"
    "<tev:PullMessagesResponse><tev:CurrentTime>%s</tev:CurrentTime>"
    "<tev:TerminationTime>%s</tev:TerminationTime></tev:PullMessagesResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";

constexpr char kPullHead[] =
    "HTTP/1.1 200 OK\r\nStatus: 200 OK\r\nServer: gSOAP/2.8\r\nContent-Length: %d\r\n"
    "Content-Type: application/soap+xml; charset=utf-8; action=\"%s\"\r\n"
    "Connection: close\r\nDate: %s\r\n\r\n";

constexpr char kNotifyBody[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" "
    "xmlns:SOAP-ENC=\"http://www.w3.org/2003/05/soap-encoding\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:wsa5=\"http://www.w3.org/2005/08/addressing\" "
    "xmlns:c14n=\"http://www.w3.org/2001/10/xml-exc-c14n#\" "
    "xmlns:wsu=\"http://docs.oasis-open.org/wss/2004/01/"
    "oasis-200401-wss-wssecurity-utility-1.0.xsd\" "
    "xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\" "
    "xmlns:wsse=\"http://docs.oasis-open.org/wss/2004/01/"
    "oasis-200401-wss-wssecurity-secext-1.0.xsd\" "
    "xmlns:wsrf-bf=\"http://docs.oasis-open.org/wsrf/bf-2\" "
    "xmlns:wstop=\"http://docs.oasis-open.org/wsn/t-1\" "
    "xmlns:xmime=\"http://www.w3.org/2005/05/xmlmime\" "
    "xmlns:wsrf=\"http://docs.oasis-open.org/wsrf/r-2\" "
    "xmlns:wsnt=\"http://docs.oasis-open.org/wsn/b-2\" "
    "xmlns:tns1=\"http://www.onvif.org/ver10/topics\">"
    "<SOAP-ENV:Header><wsa5:Action>%s</wsa5:Action></SOAP-ENV:Header>"
    "<SOAP-ENV:Body><wsnt:Notify><wsnt:NotificationMessage><wsnt:SubscriptionReference>"
    "<wsa5:Address>http://%s:%d/onvif/events_service</wsa5:Address>"
    "</wsnt:SubscriptionReference><wsnt:Topic Dialect=\"" CONCRETE_SET
    "\">"
    "tns1:VideoSource/MotionAlarm</wsnt:Topic><wsnt:ProducerReference>"
    "<wsa5:Address>http://%s:%d/onvif/events_service/NotificationProducer</wsa5:Address>"
    "</wsnt:ProducerReference><wsnt:Message>"
    "<tt:Message UtcTime=\"%s\" PropertyOperation=\"Changed\" xmlns:tt=\"" ONVIF_SCHEMA
    "\">"
    "<tt:Source><tt:SimpleItem Name=\"window\" Value=\"%d\"/></tt:Source>"
    "<tt:Data><tt:SimpleItem Name=\"motion\" Value=\"%d\"/></tt:Data></tt:Message>"
    "</wsnt:Message></wsnt:NotificationMessage></wsnt:Notify></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";

constexpr char kNotifyHead[] =
    "POST %s HTTP/1.1\r\nHost: %s:%d\r\nUser-Agent: gSOAP/2.7\r\n"
    "Content-Type: application/soap+xml; charset=utf-8\r\nContent-Length: %d\r\n"
    "Connection: close\r\nAccept-Encoding: gzip, deflate\r\nSOAPAction: \"%s\"\r\n\r\n";

// Header of the replies to the subscription requests: MessageID, ReplyTo, To, Action.
#define REPLY_HEADER(attr, to_path, action)                                \
  "<SOAP-ENV:Header><wsa5:MessageID>%s</wsa5:MessageID><wsa5:ReplyTo" attr \
  ">"                                                                      \
  "<wsa5:Address>" ANONYMOUS "</wsa5:Address></wsa5:ReplyTo><wsa5:To" attr \
  ">"                                                                      \
  "http://%s:%d" to_path "</wsa5:To><wsa5:Action" attr ">" action          \
  "</wsa5:Action>"                                                         \
  "</SOAP-ENV:Header>"

constexpr char kCreatePullPointResponse[] =
    REPLY_HEADER(" " MUST, "/onvif/events_service",
                 EVENTS_WSDL "/EventPortType/CreatePullPointSubscriptionResponse")
    "<SOAP-ENV:Body><tev:CreatePullPointSubscriptionResponse><tev:SubscriptionReference>"
    "<wsa5:Address>http://%s:%d/onvif/events_service/SubscriptionManager=%d</wsa5:Address>"
    "<wsa5:ReferenceParameters><dom0:SubscriptionId "
    "xmlns:dom0=\"http://%s:%d/onvif/events_service\">%d</dom0:SubscriptionId>"
    "</wsa5:ReferenceParameters></tev:SubscriptionReference>"
    "<wsnt:CurrentTime>%s</wsnt:CurrentTime><wsnt:TerminationTime>%s</wsnt:TerminationTime>"
    "</tev:CreatePullPointSubscriptionResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

constexpr char kSubscribeResponse[] =
    EVENT_ENVELOPE_START REPLY_HEADER("", "/onvif/events_service",
                                      BW2 "/NotificationProducer/SubscribeResponse")
    "<SOAP-ENV:Body><wsnt:SubscribeResponse><wsnt:SubscriptionReference>"
    "<wsa5:Address>http://%s:%d/onvif/events_service</wsa5:Address>"
    "<wsa5:ReferenceParameters><dom0:SubscriptionId "
    "xmlns:dom0=\"http://%s:%d/onvif/events_service\">%d</dom0:SubscriptionId>"
    "</wsa5:ReferenceParameters></wsnt:SubscriptionReference>"
    "<wsnt:CurrentTime>%s</wsnt:CurrentTime><wsnt:TerminationTime>%s</wsnt:TerminationTime>"
    "</wsnt:SubscribeResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

constexpr char kUnsubscribeResponse[] =
    EVENT_ENVELOPE_START REPLY_HEADER("", "/onvif/events_service",
                                      BW2 "/SubscriptionManager/UnsubscribeResponse")
    "<SOAP-ENV:Body><wsnt:UnsubscribeResponse></wsnt:UnsubscribeResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";

constexpr char kRenewResponse[] =
    EVENT_ENVELOPE_START REPLY_HEADER("", "/onvif/events_service",
                                      BW2 "/SubscriptionManager/RenewResponse")
    "<SOAP-ENV:Body><wsnt:RenewResponse><wsnt:TerminationTime>%s</wsnt:TerminationTime>"
    "<wsnt:CurrentTime>%s</wsnt:CurrentTime></wsnt:RenewResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";

constexpr char kSetSynchronizationPointResponse[] =
    EVENT_ENVELOPE_START REPLY_HEADER(
        " " MUST, "/onvif/event_service",
        EVENTS_WSDL "/PullPointSubscription/SetSynchronizationPointResponse")
    "<SOAP-ENV:Body><tev:SetSynchronizationPointResponse></tev:SetSynchronizationPointResponse>"
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>";

constexpr char kEventProperties[] = EVENT_ENVELOPE_START
    "<SOAP-ENV:Header><wsa5:MessageID>urn:uuid:2a7c3e6e-5b1d-4f0a-9c8e-3d9b4f6a1e20"
    "</wsa5:MessageID><wsa5:ReplyTo><wsa5:Address>" ANONYMOUS
    "</wsa5:Address></wsa5:ReplyTo>"
    "<wsa5:To>http://localhost/onvif/event_service</wsa5:To>"
    "<wsa5:Action>" EVENTS_WSDL
    "/EventPortType/GetEventPropertiesResponse</wsa5:Action>"
    "</SOAP-ENV:Header><SOAP-ENV:Body><tev:GetEventPropertiesResponse>"
    "<tev:TopicNamespaceLocation>http://www.onvif.org/onvif/ver10/topics/topicns.xml"
    "</tev:TopicNamespaceLocation><wsnt:FixedTopicSet>true</wsnt:FixedTopicSet>"
    "<wstop:TopicSet><tns:VideoSource><MotionAlarm wstop:topic=\"true\">"
    "<tt:MessageDescription IsProperty=\"true\"><tt:Source>"
    "<tt:SimpleItemDescription Name=\"VideoSourceToken\" Type=\"tt:ReferenceToken\"/>"
    "</tt:Source><tt:Data><tt:SimpleItemDescription Name=\"State\" Type=\"xsd:boolean\"/>"
    "</tt:Data></tt:MessageDescription></MotionAlarm></tns:VideoSource></wstop:TopicSet>"
    "<wsnt:TopicExpressionDialect>" CONCRETE_SET
    "</wsnt:TopicExpressionDialect>"
    "<wsnt:TopicExpressionDialect>http://docs.oasis-open.org/wsn/t-1/TopicExpression/Concrete"
    "</wsnt:TopicExpressionDialect><tev:MessageContentFilterDialect>"
    "http://www.onvif.org/ver10/tev/messageContentFilter/ItemFilter"
    "</tev:MessageContentFilterDialect><tev:MessageContentSchemaLocation>"
    "http://www.onvif.org/onvif/ver10/schema/onvif.xsd</tev:MessageContentSchemaLocation>"
    "</tev:GetEventPropertiesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

}  // namespace

std::string format_pull_motion_body(const CameraUrl& camera, const PullMotionFields& f) {
  const char* address = camera.address.c_str();
  return format_text(kPullMotionBody, f.message_id_header.c_str(), address, camera.port, f.index,
                     kPullMessagesResponseAction, format_utc_time(f.now).c_str(),
                     format_utc_time(f.deadline).c_str(), address, camera.port, f.index,
                     format_utc_time(f.event_time).c_str(), f.motion_state ? "true" : "false");
}

std::string format_pull_empty_body(const CameraUrl& camera, const std::string& message_id_header,
                                   std::time_t now, std::time_t deadline) {
  return format_text(kPullEmptyBody, message_id_header.c_str(), camera.address.c_str(), camera.port,
                     kPullMessagesResponseAction, format_utc_time(now).c_str(),
                     format_utc_time(deadline).c_str());
}

std::string format_pull_head(int content_length, std::time_t now) {
  return format_text(kPullHead, content_length, kPullMessagesResponseAction,
                     format_http_date(now).c_str());
}

std::string format_notify_body(const CameraUrl& camera, std::time_t event_time, int window,
                               int motion) {
  const char* address = camera.address.c_str();
  return format_text(kNotifyBody, kNotifyAction, address, camera.port, address, camera.port,
                     format_utc_time(event_time).c_str(), window, motion);
}

std::string format_notify_head(const std::string& path, const std::string& host, int port,
                               int body_length) {
  // A consumer URL without a path still needs a request target.
  const char* target = path.empty() ? "/" : path.c_str();
  return format_text(kNotifyHead, target, host.c_str(), port, body_length, kNotifyAction);
}

std::string format_create_pull_point_response(const CameraUrl& camera, const char* message_id,
                                              int index, std::time_t now, std::time_t termination) {
  const char* a = camera.address.c_str();
  int p = camera.port;
  return format_text(kCreatePullPointResponse, message_id, a, p, a, p, index, a, p, index,
                     format_utc_time(now).c_str(), format_utc_time(termination).c_str());
}

std::string format_subscribe_response(const CameraUrl& camera, const char* message_id, int index,
                                      std::time_t now, std::time_t termination) {
  const char* a = camera.address.c_str();
  int p = camera.port;
  return format_text(kSubscribeResponse, message_id, a, p, a, p, a, p, index,
                     format_utc_time(now).c_str(), format_utc_time(termination).c_str());
}

std::string format_unsubscribe_response(const CameraUrl& camera, const char* message_id) {
  return format_text(kUnsubscribeResponse, message_id, camera.address.c_str(), camera.port);
}

std::string format_renew_response(const CameraUrl& camera, const char* message_id,
                                  const std::string& termination, const std::string& current) {
  return format_text(kRenewResponse, message_id, camera.address.c_str(), camera.port,
                     termination.c_str(), current.c_str());
}

std::string format_set_synchronization_point_response(const CameraUrl& camera,
                                                      const char* message_id) {
  return format_text(kSetSynchronizationPointResponse, message_id, camera.address.c_str(),
                     camera.port);
}

const char* event_properties_envelope() {
  return kEventProperties;
}

}  // namespace nvtd
