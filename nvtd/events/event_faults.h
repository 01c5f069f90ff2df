// The WS-BaseNotification faults of the event service: the SOAP fault with the fault's
// element (and its timestamp) in the Detail, as ONVIF clients look for them.
#pragma once

#include <string>

#include "nvtd/core/reply.h"

namespace nvtd {

enum class EventFault {
  kSubscribeCreationFailed,             // Receiver: every subscription is taken
  kConsumerRefused,                     // Sender: a push consumer the camera will not send to
  kTopicNotSupported,                   // Sender: the filter names no topic of this camera
  kTopicExpressionDialectUnknown,       // Sender
  kInvalidTopicExpression,              // Sender
  kInvalidMessageContentExpression,     // Sender: a content filter ItemFilter does not read
  kUnacceptableInitialTerminationTime,  // Sender: not a time, or not in the future
  kUnacceptableTerminationTime,         // Sender: the same for Renew
};

// The fault body (to follow EnvelopeOpening).
std::string event_fault_body(EventFault fault);

// Sends it: Sender faults with "HTTP/1.0 400 Bad Request", the Receiver fault without.
void send_event_fault(Reply& reply, EventFault fault);

}  // namespace nvtd
