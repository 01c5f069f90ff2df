// The event service's message texts: pull answers, the Notify POST, the replies to the
// subscription requests, and the event properties. Each function formats
// one fixed template with the given values into a bounded text (at most 19999 bytes).
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "nvtd/events/event_topics.h"
#include "nvtd/soap/envelope.h"

namespace nvtd {

constexpr const char kPullMessagesResponseAction[] =
    NS_TEV "/PullPointSubscription/PullMessagesResponse";
constexpr const char kNotifyAction[] = NS_WSNT_BW "/NotificationConsumer/Notify";

// The camera's address and port as they appear in service URLs.
struct CameraUrl {
  std::string address;
  int port = 80;
};

// Pull answer carrying messages (a body template: header then body).
struct PullAnswerFields {
  std::string message_id_header;
  int index = 0;
  std::time_t now = 0;
  std::time_t termination = 0;  // when the pull point ends without further pulls
};
std::string format_pull_messages_body(const CameraUrl& camera, const PullAnswerFields& fields,
                                      const std::vector<EventMessage>& messages);

// One wsnt:NotificationMessage; subscription is the subscription's address.
std::string format_notification(const CameraUrl& camera, const std::string& subscription,
                                const EventMessage& message);

// Pull answer without a notification, written when a parked request times out.
std::string format_pull_empty_body(const CameraUrl& camera, const std::string& message_id_header,
                                   std::time_t now, std::time_t deadline);

// The HTTP head of a pull answer; content_length counts everything after the blank line.
std::string format_pull_head(int content_length, std::time_t now);

// The Notify message POSTed to a push consumer and its request head.
std::string format_notify_body(const CameraUrl& camera, const EventMessage& message);
std::string format_notify_head(const std::string& path, const std::string& host, int port,
                               int body_length);

// Replies to the subscription requests. Body templates for send_body unless noted.
std::string format_create_pull_point_response(const CameraUrl& camera, const char* message_id,
                                              int index, std::time_t now, std::time_t termination);
// Complete envelopes (send_envelope).
std::string format_subscribe_response(const CameraUrl& camera, const char* message_id, int index,
                                      std::time_t now, std::time_t termination);
std::string format_unsubscribe_response(const CameraUrl& camera, const char* message_id);
std::string format_renew_response(const CameraUrl& camera, const char* message_id,
                                  const std::string& termination, const std::string& current);
std::string format_set_synchronization_point_response(const CameraUrl& camera,
                                                      const char* message_id);
std::string event_properties_envelope();

}  // namespace nvtd
