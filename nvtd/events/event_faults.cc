// The WS-BaseNotification faults of the event service (see event_faults.h).
#include "nvtd/events/event_faults.h"

#include <ctime>

#include "nvtd/events/time_text.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

constexpr char kWsnt[] = "wsnt:";
constexpr char kWsrfRw[] = "wsrf-rw:";
// Declared on the element itself: the envelope opening of every answer does not name it.
constexpr char kWsrfRwNamespace[] = " xmlns:wsrf-rw=\"http://docs.oasis-open.org/wsrf/rw-2\"";

struct EventFaultEntry {
  const char* code;
  const char* element;  // the fault element of the Detail, without its prefix
  const char* reason;
  const char* prefix = kWsnt;
  const char* declaration = "";
};

EventFaultEntry entry_of(EventFault fault) {
  switch (fault) {
    case EventFault::kSubscribeCreationFailed:
      return {"SOAP-ENV:Receiver", "SubscribeCreationFailedFault",
              "No more subscriptions can be made"};
    case EventFault::kConsumerRefused:
      return {"SOAP-ENV:Sender", "SubscribeCreationFailedFault", "Consumer address not acceptable"};
    case EventFault::kTopicNotSupported:
      return {"SOAP-ENV:Sender", "TopicNotSupportedFault", "Topic not supported"};
    case EventFault::kTopicExpressionDialectUnknown:
      return {"SOAP-ENV:Sender", "TopicExpressionDialectUnknownFault",
              "Topic expression dialect not supported"};
    case EventFault::kInvalidTopicExpression:
      return {"SOAP-ENV:Sender", "InvalidTopicExpressionFault", "Invalid topic expression"};
    case EventFault::kInvalidMessageContentExpression:
      return {"SOAP-ENV:Sender", "InvalidMessageContentExpressionFault",
              "Message content filter not supported"};
    case EventFault::kUnacceptableInitialTerminationTime:
      return {"SOAP-ENV:Sender", "UnacceptableInitialTerminationTimeFault",
              "Initial termination time not acceptable"};
    case EventFault::kUnacceptableTerminationTime:
      return {"SOAP-ENV:Sender", "UnacceptableTerminationTimeFault",
              "Termination time not acceptable"};
    case EventFault::kResourceUnknown:
      return {"SOAP-ENV:Sender", "ResourceUnknownFault",
              "Unknown subscription: it has ended or the device has restarted; subscribe again",
              kWsrfRw, kWsrfRwNamespace};
  }
  return {"SOAP-ENV:Receiver", "SubscribeCreationFailedFault", ""};
}

}  // namespace

std::string event_fault_body(EventFault fault) {
  EventFaultEntry e = entry_of(fault);
  return std::string("<SOAP-ENV:Body><SOAP-ENV:Fault><SOAP-ENV:Code><SOAP-ENV:Value>") + e.code +
         "</SOAP-ENV:Value></SOAP-ENV:Code><SOAP-ENV:Reason><SOAP-ENV:Text xml:lang=\"en\">" +
         e.reason + "</SOAP-ENV:Text></SOAP-ENV:Reason><SOAP-ENV:Detail><" + e.prefix + e.element +
         e.declaration + "><wsrfbf:Timestamp>" + format_utc_time(std::time(nullptr)) +
         "</wsrfbf:Timestamp></" + e.prefix + e.element +
         "></SOAP-ENV:Detail></SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

void send_event_fault(Reply& reply, EventFault fault) {
  std::string body = event_fault_body(fault);
  if (fault == EventFault::kSubscribeCreationFailed) {
    send_body(reply, "%s", body.c_str());
    return;
  }
  reply.append(kStatusBadRequest);
  send_fault(reply, 0, "%s", body.c_str());
}

}  // namespace nvtd
