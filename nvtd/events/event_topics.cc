// The topics of the event service (see event_topics.h).
#include "nvtd/events/event_topics.h"

#include <array>

#include "common/camera_states.h"
#include "nvtd/events/time_text.h"
#include "nvtd/soap/envelope.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

constexpr char kTopicNamespace[] = NS_TNS;
constexpr char kSchemaNamespace[] = NS_TT;

// The tokens the messages name: the video source and its configuration as the media service
// lists them, and the motion detector's analytics configuration and rule.
constexpr char kVideoSourceToken[] = "HD";
constexpr char kVideoSourceConfigurationToken[] = "T-VSConf-00";
constexpr char kAnalyticsConfigurationToken[] = "T-VACfg-00";
constexpr char kMotionRule[] = "MyMotionDetectorRule";

constexpr std::array<TopicInfo, kTopicCount> kTopics = {{
    {"VideoSource/MotionAlarm", camera_state::kMotion},
    {"RuleEngine/CellMotionDetector/Motion", camera_state::kMotion},
    {"VideoSource/ImageTooDark/ImagingService", camera_state::kImageTooDark},
    {"VideoSource/ImageTooBright/ImagingService", camera_state::kImageTooBright},
    {"VideoSource/ImageTooBlurry/ImagingService", camera_state::kImageTooBlurry},
    {"VideoSource/GlobalSceneChange/ImagingService", camera_state::kGlobalSceneChange},
    {"Media/ProfileChanged", ""},
    {"Media/ConfigurationChanged", ""},
}};

// The media topics as GetEventProperties describes them: no properties, Source items only.
constexpr char kMediaTopics[] =
    "<tns1:Media><ProfileChanged "
    "wstop:topic=\"true\"><tt:MessageDescription><tt:Source><tt:SimpleItemDescription "
    "Name=\"Token\" Type=\"tt:ReferenceToken\"/>"
    "</tt:Source></tt:MessageDescription></ProfileChanged><ConfigurationChanged "
    "wstop:topic=\"true\"><tt:MessageDescription><tt:Source>"
    "<tt:SimpleItemDescription Name=\"Token\" Type=\"tt:ReferenceToken\"/>"
    "<tt:SimpleItemDescription Name=\"Type\" Type=\"xsd:string\"/></tt:Source>"
    "</tt:MessageDescription></ConfigurationChanged></tns1:Media>";

// The tamper topics: a video source's, with its configuration token as Source and a State.
bool is_tamper(int topic) {
  return topic >= kTopicTooDark && topic <= kTopicSceneChange;
}

std::string simple_item(const char* name, const std::string& value) {
  return std::string("<tt:SimpleItem Name=\"") + name + "\" Value=\"" + value + "\"/>";
}

std::string item_description(const char* name, const char* type) {
  return std::string("<tt:SimpleItemDescription Name=\"") + name + "\" Type=\"" + type + "\"/>";
}

std::vector<MessageItem> source_item_values(const EventMessage& message) {
  int topic = message.topic;
  if (!topic_is_property(topic)) {
    if (!message.type) return {{"Token", message.token}};
    return {{"Token", message.token}, {"Type", message.type}};
  }
  if (topic == kTopicMotionAlarm) return {{"Source", kVideoSourceToken}};
  if (is_tamper(topic)) return {{"Source", kVideoSourceConfigurationToken}};
  return {{"VideoSourceConfigurationToken", kVideoSourceConfigurationToken},
          {"VideoAnalyticsConfigurationToken", kAnalyticsConfigurationToken},
          {"Rule", kMotionRule}};
}

std::string source_items(const EventMessage& message) {
  std::string items;
  for (const MessageItem& item : source_item_values(message))
    items += simple_item(item.name.c_str(), xml_safe(item.value));
  return items;
}

const char* data_item_name(int topic) {
  return topic == kTopicCellMotion ? "IsMotion" : "State";
}

std::string description(int topic) {
  std::string source =
      topic != kTopicCellMotion
          ? item_description("Source", "tt:ReferenceToken")
          : item_description("VideoSourceConfigurationToken", "tt:ReferenceToken") +
                item_description("VideoAnalyticsConfigurationToken", "tt:ReferenceToken") +
                item_description("Rule", "xsd:string");
  return "<tt:MessageDescription IsProperty=\"true\"><tt:Source>" + source +
         "</tt:Source><tt:Data>" + item_description(data_item_name(topic), "xsd:boolean") +
         "</tt:Data></tt:MessageDescription>";
}

std::string trimmed(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

// Whether a prefix is bound to the ONVIF topic namespace (an unbound one is taken as bound).
bool prefix_is_topics(const std::string& prefix, const std::string& body) {
  for (char quote : {'"', '\''}) {
    std::string declaration = "xmlns:" + prefix + "=" + quote;
    size_t at = body.find(declaration);
    if (at == std::string::npos) continue;
    size_t start = at + declaration.size();
    size_t end = body.find(quote, start);
    return end != std::string::npos && body.compare(start, end - start, kTopicNamespace) == 0;
  }
  return true;
}

// The topics one alternative names: "pfx:A/B", or "pfx:A//." for A and all below it.
FilterResult alternative_topics(std::string text, bool allow_descendants, const std::string& body,
                                TopicMask* mask) {
  bool descendants = text.size() > 3 && text.compare(text.size() - 3, 3, "//.") == 0;
  if (descendants) {
    if (!allow_descendants) return FilterResult::kInvalidExpression;
    text.resize(text.size() - 3);
  }
  size_t colon = text.find(':');
  if (colon != std::string::npos) {
    if (colon == 0 || !prefix_is_topics(text.substr(0, colon), body)) return FilterResult::kOk;
    text = text.substr(colon + 1);
  }
  if (text.empty() || text.find_first_of(" *:|") != std::string::npos ||
      text.find("//") != std::string::npos)
    return FilterResult::kInvalidExpression;
  for (int topic = 0; topic < kTopicCount; ++topic) {
    std::string path = kTopics[topic].path;
    bool below = descendants && path.compare(0, text.size() + 1, text + "/") == 0;
    if (path == text || below) *mask |= 1u << topic;
  }
  return FilterResult::kOk;
}

}  // namespace

EventMessage media_change(int topic, std::string_view token, const char* type) {
  EventMessage message;
  message.topic = topic;
  token.copy(message.token, sizeof message.token - 1);
  message.type = type;
  return message;
}

const TopicInfo& topic_info(int topic) {
  return kTopics[topic >= 0 && topic < kTopicCount ? topic : 0];
}

TopicMask topics_of_state(const std::string& state_name) {
  TopicMask mask = 0;
  for (int topic = 0; topic < kTopicCount; ++topic) {
    if (topic_is_property(topic) && state_name == kTopics[topic].state_name) mask |= 1u << topic;
  }
  return mask;
}

bool state_is_raised(const std::string& value) {
  return value == camera_state::kTrue || value == "1" || value == "on" || value == "yes";
}

std::string topic_element(const EventMessage& message) {
  return std::string("<wsnt:Topic Dialect=\"") + kConcreteSetDialect + "\" xmlns:tns1=\"" +
         kTopicNamespace + "\">tns1:" + topic_info(message.topic).path + "</wsnt:Topic>";
}

std::string message_element(const EventMessage& message) {
  return "<wsnt:Message><tt:Message UtcTime=\"" + format_utc_time(message.utc) +
         "\" PropertyOperation=\"" + (message.initialized ? "Initialized" : "Changed") +
         "\" xmlns:tt=\"" + kSchemaNamespace + "\"><tt:Source>" + source_items(message) +
         "</tt:Source>" +
         (topic_is_property(message.topic)
              ? "<tt:Data>" +
                    simple_item(data_item_name(message.topic), message.state ? "true" : "false") +
                    "</tt:Data>"
              : std::string()) +
         "</tt:Message></wsnt:Message>";
}

std::vector<MessageItem> message_items(const EventMessage& message) {
  std::vector<MessageItem> items = source_item_values(message);
  if (!topic_is_property(message.topic)) return items;
  items.push_back({data_item_name(message.topic), message.state ? "true" : "false"});
  return items;
}

std::string topic_set_element() {
  std::string tamper;
  for (int topic = kTopicTooDark; topic <= kTopicSceneChange; ++topic) {
    // "VideoSource/ImageTooDark/ImagingService": <ImageTooDark><ImagingService ...>
    const std::string path = kTopics[topic].path;
    const size_t first = path.find('/') + 1, second = path.rfind('/');
    const std::string name = path.substr(first, second - first), family = path.substr(second + 1);
    tamper += "<" + name + "><" + family + " wstop:topic=\"true\">" + description(topic) + "</" +
              family + "></" + name + ">";
  }
  return "<wstop:TopicSet><tns1:VideoSource><MotionAlarm wstop:topic=\"true\">" +
         description(kTopicMotionAlarm) + "</MotionAlarm>" + tamper +
         "</tns1:VideoSource><tns1:RuleEngine><CellMotionDetector>"
         "<Motion wstop:topic=\"true\">" +
         description(kTopicCellMotion) + "</Motion></CellMotionDetector></tns1:RuleEngine>" +
         kMediaTopics + "</wstop:TopicSet>";
}

FilterResult parse_topic_filter(const std::string& dialect, const std::string& expression,
                                const std::string& request_body, TopicMask* mask) {
  std::string kind = trimmed(dialect);
  bool set = kind == kConcreteSetDialect;
  if (!set && kind != kConcreteDialect) return FilterResult::kUnknownDialect;
  std::string text = trimmed(expression);
  if (!set && text.find('|') != std::string::npos) return FilterResult::kInvalidExpression;
  *mask = 0;
  size_t start = 0;
  while (true) {
    size_t bar = text.find('|', start);
    std::string alternative = trimmed(text.substr(start, bar - start));
    FilterResult rc = alternative_topics(alternative, set, request_body, mask);
    if (rc != FilterResult::kOk) return rc;
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return *mask == 0 ? FilterResult::kUnknownTopic : FilterResult::kOk;
}

}  // namespace nvtd
