// The topics the event service offers and the camera states that raise them: "motion" raises
// the video source's motion alarm and the cell motion detector's rule; motiond's tamper states
// ("image-too-dark", "image-too-bright", "image-too-blurry", "global-scene-change") raise the
// video source's tamper topics of the imaging service. The two media topics are no camera
// states but changes the media services make (a profile, a configuration). Also the message of
// one topic (the tt:Message inside a notification) and the topic filter of a subscription
// request.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "nvtd/events/item_filter.h"
#include "nvtd/soap/envelope.h"

namespace nvtd {

enum TopicId {
  kTopicMotionAlarm = 0,
  kTopicCellMotion = 1,
  kTopicTooDark = 2,
  kTopicTooBright = 3,
  kTopicTooBlurry = 4,
  kTopicSceneChange = 5,
  kTopicProfileChanged = 6,        // Media/ProfileChanged: Token
  kTopicConfigurationChanged = 7,  // Media/ConfigurationChanged: Token, Type
  kTopicCount = 8
};

// Whether a topic is a property (a state with Initialized messages) or an event of a change.
inline bool topic_is_property(int topic) {
  return topic < kTopicProfileChanged;
}

// A set of topics as bits (1 << TopicId).
using TopicMask = unsigned;
constexpr TopicMask kAllTopics = (1u << kTopicCount) - 1;

struct TopicInfo {
  const char* path;        // "VideoSource/MotionAlarm", without a prefix
  const char* state_name;  // the camera state file that raises it; "" for the media topics
};
const TopicInfo& topic_info(int topic);

// The topics a state name raises (none for an unknown name).
TopicMask topics_of_state(const std::string& state_name);

// A state's value as the topic's boolean: "true", "1", "on", "yes" raise it; anything else
// (and a state never written) reads as false.
bool state_is_raised(const std::string& value);

// One message of a subscription's queue.
struct EventMessage {
  EventMessage() = default;
  EventMessage(int topic_id, bool raised, bool initial, std::time_t time)
      : topic(topic_id), state(raised), initialized(initial), utc(time) {}

  int topic = kTopicMotionAlarm;
  bool state = false;
  bool initialized = false;  // PropertyOperation "Initialized", else "Changed"
  std::time_t utc = 0;
  // The media topics: the profile's or configuration's token (tokens the media services
  // store have at most 31 characters; a longer one is cut) and, for ConfigurationChanged, the
  // type ("VideoSource", "VideoEncoder", ...). Kept in place, so a message copies as plain bytes.
  char token[32] = {};
  const char* type = nullptr;
};

// A media topic's message with its token and type (nullptr for ProfileChanged).
EventMessage media_change(int topic, std::string_view token, const char* type);

// The wsnt:Topic element and the wsnt:Message element of a notification (the caller wraps them
// in a wsnt:NotificationMessage). The prefixes tt and tns1 are declared where they are used.
std::string topic_element(const EventMessage& message);
std::string message_element(const EventMessage& message);

// The SimpleItems message_element writes (Source then Data), for the message-content filter.
std::vector<MessageItem> message_items(const EventMessage& message);

// The wstop:TopicSet of GetEventProperties: each topic with exactly the items its messages carry.
std::string topic_set_element();

// How a subscription's topic filter reads.
enum class FilterResult { kOk, kUnknownDialect, kInvalidExpression, kUnknownTopic };

constexpr char kConcreteSetDialect[] = URI_TEV_CONCRETE_SET;
constexpr char kConcreteDialect[] = NS_WSTOP "/TopicExpression/Concrete";

// A TopicExpression filter: the ConcreteSet dialect (alternatives joined by "|", a trailing
// "//." taking a topic and all below it) or the WS-Topics Concrete dialect (one topic). A
// prefix must be bound to the ONVIF topic namespace in the request (an unbound prefix is taken
// as that namespace). *mask gets the matching topics; an expression that names no topic of
// this camera is kUnknownTopic.
FilterResult parse_topic_filter(const std::string& dialect, const std::string& expression,
                                const std::string& request_body, TopicMask* mask);

}  // namespace nvtd
