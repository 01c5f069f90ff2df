// Request handlers of the event service (see event_handlers.h).
#include "nvtd/events/event_handlers.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <syslog.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <ctime>
#include <optional>
#include <string>

#include "nvtd/core/log_limiter.h"
#include "nvtd/core/process_state.h"
#include "nvtd/events/camera_address.h"
#include "nvtd/events/consumer_url.h"
#include "nvtd/events/event_faults.h"
#include "nvtd/events/event_messages.h"
#include "nvtd/events/event_request.h"
#include "nvtd/events/event_service.h"
#include "nvtd/events/time_text.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/writers.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

constexpr int kDefaultDuration = 60;
// Messages in one answer written through the reply (CGI mode).
constexpr int kMessagesPerReply = 10;
// Room for a full queue's answer, written at once without waiting.
constexpr int kHeldAnswerRoom = 256 * 1024;

// The first element of the request with this local name, at most size - 1 characters.
std::optional<std::string> request_element(const Request& request, const char* name, size_t size) {
  return element_text(request.body, name, size);
}

// The request's MessageID (cut to 63 characters) as it is echoed into the reply header.
std::string message_id(const Request& request) {
  return xml_safe(request_element(request, "MessageID", 64).value_or(""));
}

// The Timeout of a PullMessages: a duration, cut to the longest wait; the default without one.
int pull_timeout(const Request& request) {
  std::optional<std::string> text = request_element(request, "Timeout", 64);
  int64_t seconds = 0;
  if (!text || parse_xs_duration(*text, &seconds) != 0) return kDefaultDuration;
  return int(std::clamp<int64_t>(seconds, 0, kMaxPullTimeoutSeconds));
}

// The subscription a request is about: its SubscriptionId element or, for clients that send
// only the address they were given (wsa:To or the request URI ending
// "SubscriptionManager=N"), the number in that address.
std::optional<std::string> subscription_id(const Request& request) {
  std::optional<std::string> id = request_element(request, "SubscriptionId", 16);
  if (id) return id;
  constexpr char kManager[] = "SubscriptionManager=";
  std::optional<std::string> to = request_element(request, "To", 256);
  for (const std::string& address : {to.value_or(""), std::string(request.uri_or_empty())}) {
    size_t at = address.rfind(kManager);
    if (at == std::string::npos) continue;
    std::string digits = address.substr(at + sizeof kManager - 1, 15);
    if (!digits.empty() && std::isdigit(static_cast<unsigned char>(digits[0]))) return digits;
  }
  return std::nullopt;
}

int decimal_value(const std::string& text) {
  long value = parse_decimal(text.c_str());
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return int(value);
}

// "HTTP/1.0 400 Bad Request" and the InvalidThing fault, for requests without an id.
HandlerOutcome refuse_without_id(const Request& request, Reply& reply) {
  trace_complaint(false, request.remote_addr.value_or(""), "no subsc id in %s\n",
                  request.body.c_str());
  send_catalogue_fault(reply, Fault::kUnsupportedCommand, 400);
  return HandlerOutcome::kAnswered;
}

// Readies the descriptor a PullMessages is held on for answers written without waiting: a
// connection gets send room, a relay reply FIFO pipe room and non-blocking writes.
void make_room_for_answers(const Request& request) {
  int fd = request.connection_fd;
  if (request.mode != RunMode::kRelay) {
    int room = kHeldAnswerRoom;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    return;
  }
  fcntl(fd, F_SETPIPE_SZ, kHeldAnswerRoom);  // a smaller pipe only risks a failed answer
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

CameraUrl request_camera() {
  return CameraUrl{request_camera_address(), config().http_port};
}

// Makes the subscription of a CreatePullPointSubscription or Subscribe request and writes the
// fault when it cannot be made; the index (and *duration, *now), or -1 after a fault.
int create_subscription(const Request& request, Reply& reply, const ConsumerSpec& consumer,
                        int* duration, std::time_t* now) {
  *now = std::time(nullptr);
  std::optional<int> seconds =
      requested_seconds(request, "InitialTerminationTime", *now, kDefaultDuration);
  if (!seconds) {
    send_event_fault(reply, EventFault::kUnacceptableInitialTerminationTime);
    return -1;
  }
  trace("\tSubscription terminating in %d secs\n", *seconds);
  TopicFilter filter = request_topic_filter(request);
  if (filter.fault) {
    send_event_fault(reply, *filter.fault);
    return -1;
  }
  ContentFilter content = request_content_filter(request);
  if (content.fault) {
    send_event_fault(reply, *content.fault);
    return -1;
  }
  AddedSubscription added = event_service().add_consumer(consumer, request_account(request),
                                                         filter.topics, *seconds, content.items);
  if (added.status != AddedSubscription::Status::kAdded) {
    // -1 full, -3 the account's share taken: the numbers the log has always shown.
    trace_complaint(false, request_account(request).name, "no subscription for this account (%d)\n",
                    added.status == AddedSubscription::Status::kTableFull ? -1 : -3);
    send_event_fault(reply, EventFault::kSubscribeCreationFailed);
    return -1;
  }
  *duration = *seconds;
  return added.index;
}

}  // namespace

HandlerOutcome handle_create_pull_point_subscription(const Request& request, Reply& reply) {
  std::string mid = message_id(request);
  ConsumerSpec pull_point;
  pull_point.pull = true;
  int duration = 0;
  std::time_t now = 0;
  int index = create_subscription(request, reply, pull_point, &duration, &now);
  if (index < 0) return HandlerOutcome::kAnswered;
  send_body(
      reply, "%s",
      format_create_pull_point_response(request_camera(), mid.c_str(), index, now, now + duration)
          .c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_subscribe(const Request& request, Reply& reply) {
  std::string mid = message_id(request);
  std::optional<std::string> reference = request_element(request, "ConsumerReference", 256);
  if (!reference) {
    send_plain_error(reply, "Consumer not specified\n");
    return HandlerOutcome::kAnswered;
  }
  std::optional<std::string> address = element_text(*reference, "Address", 256);
  if (!address) {
    send_plain_error(reply, "Consumer Address not specified in %s\n", reference->c_str());
    return HandlerOutcome::kAnswered;
  }
  ConsumerSpec consumer;
  switch (read_consumer_address(*address, request_camera_address(), &consumer)) {
    case ConsumerAddress::kNotHttp:
      send_plain_error(reply, "consumer address not a url\n");
      return HandlerOutcome::kAnswered;
    case ConsumerAddress::kRefused:
      trace_complaint(false, request.remote_addr.value_or(""), "consumer address refused\n");
      send_event_fault(reply, EventFault::kConsumerRefused);
      return HandlerOutcome::kAnswered;
    case ConsumerAddress::kAccepted:
      break;
  }
  trace("add subscribe for %s\n", consumer.address.c_str());
  int duration = 0;
  std::time_t now = 0;
  int index = create_subscription(request, reply, consumer, &duration, &now);
  if (index < 0) return HandlerOutcome::kAnswered;
  send_envelope(
      reply, "%s",
      format_subscribe_response(request_camera(), mid.c_str(), index, now, now + duration).c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_pull_messages(const Request& request, Reply& reply) {
  std::optional<std::string> mid = request_element(request, "MessageID", 64);
  std::optional<std::string> id = subscription_id(request);
  if (!id) return refuse_without_id(request, reply);
  int timeout = pull_timeout(request);
  std::optional<std::string> limit = request_element(request, "MessageLimit", 16);
  int message_limit = std::clamp(limit ? decimal_value(*limit) : 1, 1, int(kQueueBound));
  EventAccount account = request_account(request);
  PullRequest pull{timeout, mid ? mid->c_str() : nullptr, message_limit};
  if (request.connection_fd < 0) {
    // Nothing to hold the request on (CGI): answered at once, within one reply's bound.
    pull.message_limit = std::min(message_limit, kMessagesPerReply);
    std::optional<std::string> body = event_service().pull_now(decimal_value(*id), account, pull);
    if (!body) {
      send_event_fault(reply, EventFault::kResourceUnknown);
      return HandlerOutcome::kAnswered;
    }
    send_body(reply, "%s", body->c_str());
    return HandlerOutcome::kAnswered;
  }
  make_room_for_answers(request);
  const EventOutcome added = event_service().add_puller(
      decimal_value(*id), account, request.connection_fd, pull, request.mode == RunMode::kRelay);
  if (added == EventOutcome::kUnknown) {
    send_event_fault(reply, EventFault::kResourceUnknown);
    return HandlerOutcome::kAnswered;
  }
  if (added != EventOutcome::kDone) {
    send_catalogue_fault(reply, Fault::kUnsupportedCommand, 200);
    return HandlerOutcome::kAnswered;
  }
  return HandlerOutcome::kConnectionKept;  // the connection (or reply FIFO) belongs to the puller
                                           // slot now
}

HandlerOutcome handle_unsubscribe(const Request& request, Reply& reply) {
  std::string mid = message_id(request);
  std::optional<std::string> id = subscription_id(request);
  syslog(LOG_DEBUG, "unsubscribe mid = %s, sid = %s", mid.c_str(), id ? id->c_str() : "");
  if (!id) return refuse_without_id(request, reply);
  int index = decimal_value(*id);
  syslog(LOG_DEBUG, "removing consumer %d", index);
  if (event_service().remove_consumer(index, request_account(request)) != EventOutcome::kDone) {
    syslog_complaint(LOG_DEBUG, request.remote_addr.value_or(""), "fault");
    send_catalogue_fault(reply, Fault::kSenderEmpty, 400);
    return HandlerOutcome::kAnswered;
  }
  send_envelope(reply, "%s", format_unsubscribe_response(request_camera(), mid.c_str()).c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_renew(const Request& request, Reply& reply) {
  std::string mid = message_id(request);
  std::optional<std::string> id = subscription_id(request);
  if (!id) return refuse_without_id(request, reply);
  int index = decimal_value(*id);
  EventAccount account = request_account(request);
  std::time_t now = std::time(nullptr);
  if (!event_service().expiry(index, account)) {
    trace_complaint(false, request.remote_addr.value_or(""), "\t%s: consumer %d not found\n",
                    "handle_renew", index);
    send_event_fault(reply, EventFault::kResourceUnknown);
    return HandlerOutcome::kAnswered;
  }
  std::optional<int> seconds = requested_seconds(request, "TerminationTime", now, kDefaultDuration);
  if (!seconds) {
    send_event_fault(reply, EventFault::kUnacceptableTerminationTime);
    return HandlerOutcome::kAnswered;
  }
  trace("\tSubscription renewing in %d secs\n", *seconds);
  if (event_service().set_expiry(index, account, now + *seconds) != EventOutcome::kDone) {
    send_event_fault(reply, EventFault::kResourceUnknown);
    return HandlerOutcome::kAnswered;
  }
  send_envelope(reply, "%s",
                format_renew_response(request_camera(), mid.c_str(),
                                      format_utc_time(now + *seconds), format_utc_time(now))
                    .c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_event_set_synchronization_point(const Request& request, Reply& reply) {
  // The MessageID sits in the SOAP header, ahead of the body part.
  std::string mid = message_id(request);
  std::optional<std::string> id = subscription_id(request);
  if (!id) return refuse_without_id(request, reply);
  if (event_service().synchronize(decimal_value(*id), request_account(request)) !=
      EventOutcome::kDone) {
    send_catalogue_fault(reply, Fault::kUnsupportedCommand, 400);
    return HandlerOutcome::kAnswered;
  }
  send_envelope(reply, "%s",
                format_set_synchronization_point_response(request_camera(), mid.c_str()).c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_event_properties(const Request&, Reply& reply) {
  send_envelope(reply, "%s", event_properties_envelope().c_str());
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
