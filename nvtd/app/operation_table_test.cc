// The assembled operation table: every operation is reachable by its own name, a name never
// hides a longer one behind it, every request without a namespace reaches the handler it
// reached before, and a search in a service reaches that service's entries alone.
#include "nvtd/core/operation_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <utility>

#include "nvtd/app/wiring.h"
#include "nvtd/soap/action_text.h"

namespace nvtd {
namespace {

// The operations the camera answers, in the search order it has always had.
// clang-format off
const char* const kSearchOrder[] = {
    "GetCapabilities", "GetHostname", "GetServices", "GetServiceCapabilities",
    "GetSystemDateAndTime", "SetSystemDateAndTime", "GetDeviceInformation", "GetNetworkInterfaces",
    "GetRelayOutputs", "GetProfiles", "GetMetadataConfigurationOptions",
    "GetMetadataConfigurations", "GetMetadataConfiguration", "SetMetadataConfiguration",
    "AddMetadataConfiguration", "RemoveMetadataConfiguration",
    "GetCompatibleMetadataConfigurations", "GetStreamUri", "SetNTP", "GetScopes", "GetDNS",
    "wsdlGetVideoSources", "GetVideoSources", "wsdlGetProfile",
    "CreatePullPointSubscriptionRequest", "PullMessagesRequest", "SubscribeRequest",
    "UnsubscribeRequest", "RenewRequest", "GetSnapshotUri", "GetNetworkProtocols",
    "GetVideoEncoderConfigurationOptions", "GetVideoEncoderConfigurations",
    "GetVideoEncoderConfiguration", "GetVideoSourceConfigurationOptions",
    "GetVideoSourceConfigurations", "GetVideoSourceConfiguration", "GetZeroConfiguration",
    "GetEventProperties", "GetAudioSources", "GetAudioSourceConfigurationOptions",
    "GetAudioSourceConfigurations", "GetAudioSourceConfiguration",
    "GetAudioEncoderConfigurationOptions", "GetAudioEncoderConfigurations",
    "GetAudioEncoderConfiguration", "GetAudioOutputs", "GetCompatibleAudioSourceConfigurations",
    "AddAudioSourceConfiguration", "SetVideoSourceConfiguration", "SetAudioSourceConfiguration",
    "SetVideoEncoderConfiguration", "SetAudioEncoderConfiguration", "AddVideoEncoderConfiguration",
    "AddAudioEncoderConfiguration", "GetNTP", "GetNetworkDefaultGateway", "GetDiscoveryMode",
    "SetDiscoveryMode", "GetUsers", "SystemReboot", "SetSystemFactoryDefault", "SetHostname",
    "SetDNS", "SetNetworkDefaultGateway", "GetWsdlUrl", "GetCompatibleVideoSourceConfigurations",
    "GetCompatibleVideoEncoderConfigurations", "GetCompatibleAudioEncoderConfigurations",
    "SetNetworkInterfaces", "GetGuaranteedNumberOfVideoEncoderInstances", "CreateProfile",
    "AddVideoSourceConfiguration", "RemoveVideoSourceConfiguration",
    "RemoveAudioSourceConfiguration", "RemoveVideoEncoderConfiguration",
    "RemoveAudioEncoderConfiguration", "DeleteProfile", "CreateUsers", "DeleteUsers", "SetUser",
    "GetProfile", "StartMulticastStreaming", "SetSynchronizationPointRequest",
    "SetSynchronizationPoint", "SetNetworkProtocols", "SetScopes", "AddScopes", "RemoveScopes",
    "SetRelayOutputSettings", "SetRelayOutputState", "GetImagingSettings", "SetImagingSettings",
    "GetMoveOptions", "GetOptions", "GetStatus",
};
// clang-format on

std::string found(const OperationTable& table, std::string_view text) {
  const Operation* op = table.find(text);
  return op == nullptr ? "<none>" : op->name;
}

// The name the old first-match search over kSearchOrder finds in text.
std::string found_in_search_order(std::string_view text) {
  for (const char* name : kSearchOrder) {
    if (text.find(name) != std::string_view::npos) return name;
  }
  return "<none>";
}

TEST(OperationTable, NoNameShadowsALaterNameThatContainsIt) {
  OperationTable table = make_operation_table();
  const auto& entries = table.entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].match != NameMatch::kSubstring) continue;
    for (std::size_t j = i + 1; j < entries.size(); ++j) {
      // One name in several services (GetServiceCapabilities) is one name: compared as text,
      // since equal literals need not share an address.
      if (entries[j].match != NameMatch::kSubstring ||
          std::string_view(entries[j].name) == entries[i].name)
        continue;
      EXPECT_EQ(std::string_view(entries[j].name).find(entries[i].name), std::string_view::npos)
          << entries[i].name << " hides " << entries[j].name;
    }
  }
}

TEST(OperationTable, EveryOperationIsThereAndWinsWhereItWonBefore) {
  OperationTable table = make_operation_table();
  std::set<std::string> names;
  for (const Operation& op : table.entries()) {
    // Media2's entries are searched only for Media2 requests (below).
    if (op.match == NameMatch::kSubstring && op.service != Service::kMedia2) names.insert(op.name);
    EXPECT_NE(op.handler, nullptr) << op.name;
  }
  EXPECT_EQ(names, std::set<std::string>(std::begin(kSearchOrder), std::end(kSearchOrder)));
  // Each name alone, in an action URI, and next to every name it contains or is contained in.
  for (const char* a : kSearchOrder) {
    std::string uri = std::string("http://www.onvif.org/ver10/device/wsdl/") + a;
    EXPECT_EQ(found(table, a), a);
    EXPECT_EQ(found(table, uri), found_in_search_order(uri));
    for (const char* b : kSearchOrder) {
      if (std::string_view(a).find(b) == std::string_view::npos) continue;
      std::string both = std::string(b) + " " + a;
      EXPECT_EQ(found(table, both), found_in_search_order(both)) << both;
    }
  }
  EXPECT_EQ(found(table, "GetFoo"), "<none>");
  // The imaging focus verbs only as whole words, after every other name.
  EXPECT_EQ(found(table, "http://www.onvif.org/ver20/imaging/wsdl/Move"), "Move");
  EXPECT_EQ(found(table, "<timg:Stop xmlns:timg=\"x\"/>"), "Stop");
  EXPECT_EQ(found(table, "RemoveFoo StopFoo Mover"), "<none>");
  EXPECT_EQ(found(table, "getprofiles"), "<none>");  // names are case-sensitive
}

TEST(OperationTable, Media2EntriesAnswerMedia2RequestsWithTheirAccessClasses) {
  OperationTable table = make_operation_table();
  for (const Operation& op : table.entries()) {
    if (op.service != Service::kMedia2) continue;
    const Operation* found = table.find(op.name, {Service::kMedia2});
    EXPECT_TRUE(found != nullptr && found->handler == op.handler) << op.name;
    // Reads are READ_MEDIA; what changes profiles, configurations or streams is ACTUATE; the
    // service's capabilities are open.
    bool get = std::string_view(op.name).rfind("Get", 0) == 0;
    AccessClass expected = get ? AccessClass::kReadMedia : AccessClass::kActuate;
    if (std::string_view(op.name) == "GetServiceCapabilities") expected = AccessClass::kPreAuth;
    EXPECT_EQ(op.access, expected) << op.name;
    const Operation* media1 = table.find(op.name, {Service::kMedia});
    EXPECT_TRUE(media1 == nullptr || media1->handler != op.handler) << op.name;
  }
}

TEST(OperationTable, SixPreAuthOperationsAndTheirCallForms) {
  OperationTable table = make_operation_table();
  std::set<std::string> open;
  for (const Operation& op : table.entries()) {
    if (op.open()) open.insert(op.name);
  }
  EXPECT_EQ(open, (std::set<std::string>{"GetCapabilities", "GetHostname", "GetServices",
                                         "GetServiceCapabilities", "GetSystemDateAndTime",
                                         "GetWsdlUrl"}));
  EXPECT_EQ(table.find("PullMessagesRequest")->form, CallForm::kConnection);
  EXPECT_EQ(table.find("CreateUsers")->form, CallForm::kBodyPart);
  EXPECT_EQ(table.find("GetUsers")->form, CallForm::kRequest);
  EXPECT_NE(table.find("wsdlGetProfile")->handler, table.find("GetProfile")->handler);
}

TEST(OperationTable, AccessClassesOfTheOperationsThatMatterMost) {
  OperationTable table = make_operation_table();
  using A = AccessClass;
  const std::pair<const char*, AccessClass> cases[] = {
      {"GetUsers", A::kReadSystemSecret},
      {"SetHostname", A::kWriteSystem},
      {"SetDNS", A::kWriteSystem},
      {"SetNetworkInterfaces", A::kWriteSystem},
      {"CreateUsers", A::kWriteSystem},
      {"SetScopes", A::kWriteSystem},
      {"SystemReboot", A::kUnrecoverable},
      {"SetSystemFactoryDefault", A::kUnrecoverable},
      {"GetDeviceInformation", A::kReadSystem},
      {"GetProfiles", A::kReadMedia},
      {"GetStreamUri", A::kReadMedia},
      {"CreateProfile", A::kActuate},
      {"SetVideoEncoderConfiguration", A::kActuate},
      {"CreatePullPointSubscriptionRequest", A::kReadMedia},
      {"PullMessagesRequest", A::kReadMedia},
      {"PullMessages", A::kReadMedia},
      {"GetImagingSettings", A::kReadMedia},
      {"SetImagingSettings", A::kActuate},
      {"GetMoveOptions", A::kReadMedia},
      {"http://www.onvif.org/ver20/imaging/wsdl/Move", A::kActuate},
      {"<timg:Stop><timg:VideoSourceToken>HD</timg:VideoSourceToken></timg:Stop>", A::kActuate},
  };
  for (const auto& [name, access] : cases) {
    EXPECT_EQ(int(table.find(name)->access), int(access)) << name;
  }
}

TEST(OperationTable, EventOperationsUnderTheirBareNames) {
  OperationTable table = make_operation_table();
  struct Case {
    const char* text;
    const char* operation;
  };
  const Case cases[] = {
      {"application/soap+xml; charset=utf-8; "
       "action=\"http://www.onvif.org/ver10/events/wsdl/CreatePullPointSubscription\"",
       "CreatePullPointSubscription"},
      {"action=\"http://www.onvif.org/ver10/events/wsdl/PullMessages\"", "PullMessages"},
      {"action=\"http://docs.oasis-open.org/wsn/b-2/Subscribe\"", "Subscribe"},
      {"action=\"http://docs.oasis-open.org/wsn/b-2/Unsubscribe\"", "Unsubscribe"},
      {"http://docs.oasis-open.org/wsn/b-2/Renew", "Renew"},
      {"<tev:CreatePullPointSubscription><tev:InitialTerminationTime>",
       "CreatePullPointSubscription"},
      // Only whole words count.
      {"http://docs.oasis-open.org/wsn/b-2/unsubscribe", "<none>"},
      {"http://example/SubscribeMore", "<none>"},
      {"http://example/Renewal", "<none>"},
  };
  for (const Case& c : cases) EXPECT_EQ(found(table, c.text), c.operation) << c.text;
  // A bare name reaches the same handler as the full name.
  EXPECT_EQ(table.find("Renew")->handler, table.find("RenewRequest")->handler);
  EXPECT_EQ(table.find("PullMessages")->form, CallForm::kConnection);
}

// A search in a service reaches only its entries; a search without one (no namespace) reaches
// Media2's only at the Media2 address, and there a name Media2 lacks is found as before.
TEST(OperationTable, ASearchInAServiceReachesOnlyThatServicesEntries) {
  OperationTable table = make_operation_table();
  using S = Service;
  struct Case {
    const char* text;
    SearchScope scope;
    std::optional<Service> found;  // the service of the entry found under the text's own name
  } cases[] = {
      {"GetProfiles", {}, S::kMedia},
      {"GetProfiles", {S::kMedia, true}, S::kMedia},
      {"GetProfiles", {std::nullopt, true}, S::kMedia2},
      {"GetProfiles", {S::kDevice}, std::nullopt},
      {"GetVideoEncoderInstances", {}, std::nullopt},
      {"GetVideoEncoderInstances", {std::nullopt, true}, S::kMedia2},
      {"GetVideoEncoderInstances", {S::kMedia, true}, std::nullopt},
      {"GetUsers", {std::nullopt, true}, S::kDevice},
      {"GetServiceCapabilities", {}, S::kDevice},
      {"GetServiceCapabilities", {S::kUnserved}, std::nullopt},
      {"GetRelayOutputs", {S::kDeviceIo}, S::kDeviceIo},
      {"SetRelayOutputSettings", {S::kDeviceIo}, S::kDeviceIo},
      {"Stop", {S::kUnserved}, std::nullopt},
      {"SetSynchronizationPoint", {}, S::kMedia},
      {"SetSynchronizationPoint", {S::kEvents}, S::kEvents},
  };
  for (const Case& c : cases) {
    const Operation* op = table.find(c.text, c.scope);
    EXPECT_EQ(op ? std::optional<Service>(op->service) : std::nullopt, c.found) << c.text;
    if (op != nullptr) {
      EXPECT_STREQ(op->name, c.text);
    }
  }
  // The events answer under SetSynchronizationPoint is the events service's own.
  EXPECT_EQ(table.find("SetSynchronizationPoint", {S::kEvents})->handler,
            table.find("SetSynchronizationPointRequest")->handler);
  for (const Operation& op : table.entries()) EXPECT_NE(op.service, S::kUnserved) << op.name;
}

const char kDeviceInfoBody[] =
    "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\"><s:Body>"
    "<GetDeviceInformation xmlns=\"http://www.onvif.org/ver10/device/wsdl\"/>"
    "</s:Body></s:Envelope>";

TEST(ActionText, SoapActionHeaderWinsWhateverTheBody) {
  OperationTable table = make_operation_table();
  auto text = find_action_text("\"http://www.onvif.org/ver10/device/wsdl/GetDeviceInformation\"",
                               "application/soap+xml; action=\"x/GetScopes\"",
                               "<a:Action>GetUsers</a:Action><GetHostname/>");
  ASSERT_TRUE(text);
  EXPECT_EQ(found(table, *text), "GetDeviceInformation");
}

TEST(ActionText, ContentTypeActionParameter) {
  OperationTable table = make_operation_table();
  auto text = find_action_text(nullptr,
                               "application/soap+xml; charset=utf-8; "
                               "action=\"http://www.onvif.org/ver10/device/wsdl/GetScopes\"",
                               kDeviceInfoBody);
  ASSERT_TRUE(text);
  EXPECT_EQ(found(table, *text), "GetScopes");
  // Without "action=" the content type is not used.
  text = find_action_text(nullptr, "application/soap+xml; charset=utf-8", kDeviceInfoBody);
  ASSERT_TRUE(text);
  EXPECT_EQ(found(table, *text), "GetDeviceInformation");
}

TEST(ActionText, ActionElementThenBody) {
  OperationTable table = make_operation_table();
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
  EXPECT_EQ(found(table, *text), "GetDeviceInformation");
}

TEST(ActionText, NoActionAndNoBody) {
  EXPECT_FALSE(find_action_text(nullptr, nullptr, ""));
  EXPECT_FALSE(find_action_text(nullptr, "text/xml", ""));
}

}  // namespace
}  // namespace nvtd
