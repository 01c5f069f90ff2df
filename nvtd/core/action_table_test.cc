#include "nvtd/core/action_table.h"

#include <gtest/gtest.h>

#include <string>

#include "nvtd/core/action_text.h"

namespace nvtd {
namespace {

std::string found(std::string_view text) {
  int i = find_action(text);
  return i < 0 ? "<none>" : action_table()[i].name;
}

TEST(ActionTable, HasAllEntriesAndFiveOpenOnesFirst) {
  ASSERT_EQ(action_table_size(), 91u);
  for (std::size_t i = 0; i < action_table_size(); ++i) {
    EXPECT_EQ(action_table()[i].open, i < 5) << action_table()[i].name;
  }
  EXPECT_STREQ(action_table()[0].name, "GetCapabilities");
  EXPECT_STREQ(action_table()[4].name, "GetSystemDateAndTime");
  EXPECT_STREQ(action_table()[90].name, "SetRelayOutputState");
}

TEST(ActionTable, EveryEntryIsReachableByItsOwnName) {
  // An entry shadowed by an earlier, shorter name it contains could never be handled.
  for (std::size_t i = 0; i < action_table_size(); ++i) {
    EXPECT_EQ(find_action(action_table()[i].name), static_cast<int>(i)) << action_table()[i].name;
  }
}

TEST(ActionTable, LongerNamesWinOverTheNamesTheyContain) {
  EXPECT_EQ(found("http://www.onvif.org/ver10/media/wsdl/GetProfiles"), "GetProfiles");
  EXPECT_EQ(found("http://www.onvif.org/ver10/media/wsdl/GetProfile"), "GetProfile");
  EXPECT_EQ(found("GetMetadataConfigurations"), "GetMetadataConfigurations");
  EXPECT_EQ(found("GetMetadataConfigurationOptions"), "GetMetadataConfigurationOptions");
  EXPECT_EQ(found("GetMetadataConfiguration"), "GetMetadataConfiguration");
  EXPECT_EQ(found("SetSynchronizationPointRequest"), "SetSynchronizationPointRequest");
  EXPECT_EQ(found("SetSynchronizationPoint"), "SetSynchronizationPoint");
  EXPECT_EQ(found("GetUsers"), "GetUsers");
  EXPECT_EQ(found("GetFoo"), "<none>");
  // Names are case-sensitive.
  EXPECT_EQ(found("getprofiles"), "<none>");
}

TEST(ActionTable, CallFormsCarryTheirHandler) {
  for (std::size_t i = 0; i < action_table_size(); ++i) {
    const ActionEntry& e = action_table()[i];
    switch (e.form) {
      case CallForm::kPlain:
        EXPECT_NE(e.plain, nullptr) << e.name;
        break;
      case CallForm::kBodyPart:
      case CallForm::kWholeBody:
        EXPECT_NE(e.text, nullptr) << e.name;
        break;
      case CallForm::kConnection:
        EXPECT_NE(e.connection, nullptr) << e.name;
        break;
    }
  }
  EXPECT_EQ(action_table()[find_action("PullMessagesRequest")].form, CallForm::kConnection);
  EXPECT_EQ(action_table()[find_action("wsdlGetProfile")].form, CallForm::kWholeBody);
  EXPECT_EQ(action_table()[find_action("CreateUsers")].form, CallForm::kBodyPart);
  EXPECT_EQ(action_table()[find_action("GetUsers")].form, CallForm::kPlain);
}

const char kDeviceInfoBody[] =
    "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>"
    "<GetDeviceInformation xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/>"
    "</s:Body></s:Envelope>";

TEST(ActionText, SoapActionHeaderWinsWhateverTheBody) {
  auto text = find_action_text("\"http://www.onvif.org/ver10/device/wsdl/GetDeviceInformation\"",
                               "application/soap+xml; action=\"x/GetScopes\"",
                               "<a:Action>GetUsers</a:Action><GetHostname/>");
  ASSERT_TRUE(text);
  EXPECT_EQ(found(*text), "GetDeviceInformation");
}

TEST(ActionText, ContentTypeActionParameter) {
  auto text = find_action_text(nullptr,
                               "application/soap+xml; charset=utf-8; "
                               "action=\"http://www.onvif.org/ver10/device/wsdl/GetScopes\"",
                               kDeviceInfoBody);
  ASSERT_TRUE(text);
  EXPECT_EQ(found(*text), "GetScopes");
  // Without "action=" the content type is not used.
  text = find_action_text(nullptr, "application/soap+xml; charset=utf-8", kDeviceInfoBody);
  ASSERT_TRUE(text);
  EXPECT_EQ(found(*text), "GetDeviceInformation");
}

TEST(ActionText, ActionElementThenBody) {
  auto text = find_action_text(
      nullptr, nullptr,
      "<s:Header><wsa:Action s:mustUnderstand=\"1\">http://www.onvif.org/ver10/media/wsdl/"
      "GetProfiles</wsa:Action></s:Header><s:Body><trt:GetProfile/></s:Body>");
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "http://www.onvif.org/ver10/media/wsdl/GetProfiles");
  // The Action element is held in 256 bytes.
  std::string long_action = "<Action>" + std::string(300, 'a') + "</Action>";
  text = find_action_text(nullptr, nullptr, long_action);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->size(), 255u);
  text = find_action_text(nullptr, nullptr, kDeviceInfoBody);
  ASSERT_TRUE(text);
  EXPECT_EQ(found(*text), "GetDeviceInformation");
}

TEST(ActionText, NoActionAndNoBody) {
  EXPECT_FALSE(find_action_text(nullptr, nullptr, ""));
  EXPECT_FALSE(find_action_text(nullptr, "text/xml", ""));
}

}  // namespace
}  // namespace nvtd
