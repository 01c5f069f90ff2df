// Topics, message shapes and topic filters of the event service.
#include "nvtd/events/event_topics.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(EventTopics, MessagesCarryExactlyTheDescribedItems) {
  EventMessage alarm{kTopicMotionAlarm, true, true, 2208988800};
  EXPECT_EQ(message_element(alarm),
            "<wsnt:Message><tt:Message UtcTime=\"2040-01-01T00:00:00Z\" "
            "PropertyOperation=\"Initialized\" xmlns:tt=\"http://www.onvif.org/ver10/schema\">"
            "<tt:Source><tt:SimpleItem Name=\"Source\" Value=\"HD\"/></tt:Source>"
            "<tt:Data><tt:SimpleItem Name=\"State\" Value=\"true\"/></tt:Data></tt:Message>"
            "</wsnt:Message>");
  EventMessage cell{kTopicCellMotion, false, false, 0};
  std::string text = message_element(cell);
  EXPECT_NE(text.find("PropertyOperation=\"Changed\""), std::string::npos);
  EXPECT_NE(text.find("<tt:Data><tt:SimpleItem Name=\"IsMotion\" Value=\"false\"/></tt:Data>"),
            std::string::npos);
  EXPECT_NE(topic_element(cell).find(">tns1:RuleEngine/CellMotionDetector/Motion</wsnt:Topic>"),
            std::string::npos);
  // Every item a message names is described, and every description is an item.
  std::string set = topic_set_element();
  for (const char* name : {"Source", "State", "VideoSourceConfigurationToken",
                           "VideoAnalyticsConfigurationToken", "Rule", "IsMotion"}) {
    std::string described = std::string("Description Name=\"") + name + "\"";
    EXPECT_NE(set.find(described), std::string::npos) << name;
    std::string sent = message_element(alarm) + message_element(cell);
    EXPECT_NE(sent.find(std::string("SimpleItem Name=\"") + name + "\""), std::string::npos);
  }
  EXPECT_EQ(topics_of_state("motion"), 3u);
  EXPECT_EQ(topics_of_state("daynight"), 0u);
}

TEST(EventTopics, TamperTopicsOfTheImagingService) {
  struct Case {
    const char* state;
    int topic;
    const char* path;
  } cases[] = {
      {"image-too-dark", kTopicTooDark, "VideoSource/ImageTooDark/ImagingService"},
      {"image-too-bright", kTopicTooBright, "VideoSource/ImageTooBright/ImagingService"},
      {"image-too-blurry", kTopicTooBlurry, "VideoSource/ImageTooBlurry/ImagingService"},
      {"global-scene-change", kTopicSceneChange, "VideoSource/GlobalSceneChange/ImagingService"},
  };
  const std::string set = topic_set_element();
  for (const Case& c : cases) {
    EXPECT_EQ(topics_of_state(c.state), 1u << c.topic) << c.state;
    EXPECT_STREQ(topic_info(c.topic).path, c.path);
    const std::string text = message_element(EventMessage{c.topic, true, false, 0});
    EXPECT_NE(text.find("<tt:Source><tt:SimpleItem Name=\"Source\" Value=\"T-VSConf-00\"/>"
                        "</tt:Source><tt:Data><tt:SimpleItem Name=\"State\" Value=\"true\"/>"),
              std::string::npos)
        << text;
    // Listed at its place in the set: VideoSource/<Name>/ImagingService.
    const std::string path = c.path;
    const std::string name = path.substr(12, path.rfind('/') - 12);
    EXPECT_NE(set.find("<" + name + "><ImagingService wstop:topic=\"true\"><tt:MessageDescription"),
              std::string::npos)
        << name;
    TopicMask mask = 0;
    EXPECT_EQ(parse_topic_filter(kConcreteSetDialect, std::string("tns1:") + c.path, "", &mask),
              FilterResult::kOk);
    EXPECT_EQ(mask, 1u << c.topic);
  }
  TopicMask mask = 0;
  EXPECT_EQ(parse_topic_filter(kConcreteSetDialect, "tns1:VideoSource//.", "", &mask),
            FilterResult::kOk);
  EXPECT_EQ(mask, (1u << kTopicMotionAlarm) | (1u << kTopicTooDark) | (1u << kTopicTooBright) |
                      (1u << kTopicTooBlurry) | (1u << kTopicSceneChange));
}

// The media topics: no state raises them; their messages carry the Token (and a
// configuration's Type) escaped as Source items, and no Data; both are in the topic set.
TEST(EventTopics, MediaChangesCarryTokenAndType) {
  EventMessage profile = media_change(kTopicProfileChanged, "a<b", nullptr);
  EventMessage config = media_change(kTopicConfigurationChanged, "T", "VideoEncoder");
  EXPECT_NE(message_element(profile).find("<tt:Source><tt:SimpleItem Name=\"Token\" "
                                          "Value=\"a&lt;b\"/></tt:Source></tt:Message>"),
            std::string::npos);
  EXPECT_NE(message_element(config).find("Value=\"T\"/><tt:SimpleItem Name=\"Type\" "
                                         "Value=\"VideoEncoder\"/></tt:Source></tt:Message>"),
            std::string::npos);
  EXPECT_EQ(message_items(config).size(), 2u);
  EXPECT_NE(topic_set_element().find("</tns1:RuleEngine><tns1:Media><ProfileChanged "),
            std::string::npos);
  TopicMask mask = 0;
  EXPECT_EQ(parse_topic_filter(kConcreteSetDialect, "tns1:Media//.", "", &mask), FilterResult::kOk);
  EXPECT_EQ(mask, (1u << kTopicProfileChanged) | (1u << kTopicConfigurationChanged));
  EXPECT_EQ(topics_of_state(""), 0u);
}

TEST(EventTopics, Filters) {
  const std::string set = kConcreteSetDialect;
  const std::string concrete = kConcreteDialect;
  const std::string bound =
      "<x xmlns:tns1=\"http://www.onvif.org/ver10/topics\" "
      "xmlns:o='http://example.com/other'>";
  struct Case {
    std::string dialect;
    std::string expression;
    FilterResult rc;
    TopicMask mask;
  } cases[] = {
      {set, "tns1:VideoSource/MotionAlarm", FilterResult::kOk, 1},
      {set, " tns1:RuleEngine/CellMotionDetector/Motion ", FilterResult::kOk, 2},
      {set, "tns1:VideoSource/MotionAlarm|tns1:RuleEngine//.", FilterResult::kOk, 3},
      {set, "tns1:RuleEngine//.", FilterResult::kOk, 2},
      {set, "tns1:RuleEngine/CellMotionDetector//.", FilterResult::kOk, 2},
      {set, "tns1:VideoSource/MotionAlarm//.", FilterResult::kOk, 1},
      {set, "tns1:Rule//.", FilterResult::kUnknownTopic, 0},
      {set, "tns1:VideoSource", FilterResult::kUnknownTopic, 0},
      {set, "tns1:Device/Trigger/DigitalInput", FilterResult::kUnknownTopic, 0},
      {set, "o:VideoSource/MotionAlarm", FilterResult::kUnknownTopic, 0},
      {set, "nobody:VideoSource/MotionAlarm", FilterResult::kOk, 1},
      {set, "tns1:VideoSource/*", FilterResult::kInvalidExpression, 0},
      {set, "tns1:VideoSource//MotionAlarm", FilterResult::kInvalidExpression, 0},
      {set, "tns1:VideoSource/MotionAlarm|", FilterResult::kInvalidExpression, 0},
      {concrete, "tns1:VideoSource/MotionAlarm", FilterResult::kOk, 1},
      {concrete, "tns1:RuleEngine//.", FilterResult::kInvalidExpression, 0},
      {concrete, "tns1:VideoSource/MotionAlarm|tns1:RuleEngine//.",
       FilterResult::kInvalidExpression, 0},
      {"http://www.w3.org/TR/1999/REC-xpath-19991116", "boolean(//x)",
       FilterResult::kUnknownDialect, 0},
      {"", "tns1:VideoSource/MotionAlarm", FilterResult::kUnknownDialect, 0},
  };
  for (const Case& c : cases) {
    TopicMask mask = 99;
    EXPECT_EQ(parse_topic_filter(c.dialect, c.expression, bound, &mask), c.rc) << c.expression;
    if (c.rc == FilterResult::kOk) {
      EXPECT_EQ(mask, c.mask) << c.expression;
    }
  }
}

}  // namespace
}  // namespace nvtd
