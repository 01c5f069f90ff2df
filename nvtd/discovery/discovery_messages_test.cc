// The Hello, ProbeMatches and fault texts: identifiers, scope lists with their blanks,
// the service address and the message number.
#include "nvtd/discovery/discovery_messages.h"

#include <gtest/gtest.h>

#include <string>

namespace nvtd {
namespace {

DiscoveryIdentity camera() {
  DiscoveryIdentity id;
  id.address = "10.99.0.2";
  id.hwaddr = "02000a630002";
  id.model = "CV-7000";
  id.port = 8080;
  return id;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(DiscoveryMessagesTest, HelloCarriesIdentityScopesAndSequence) {
  std::string hello = build_hello(camera(), 0xabc, 7, " user/1 user/2");
  EXPECT_EQ(hello.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SOAP-ENV:Envelope", 0), 0u);
  EXPECT_EQ(hello.substr(hello.size() - 2), "\r\n");
  EXPECT_TRUE(
      has(hello, "<wsa:MessageID>uuid:00000abc-5e1a-11e4-9c27-02000a630002</wsa:MessageID>"));
  EXPECT_TRUE(has(hello, "<AppSequenceType MessageNumber=\"7\" InstanceId=\"2\"/>"));
  EXPECT_TRUE(
      has(hello, "<wsa:Address>urn:uuid:6d2f81c3-4a7e-4b05-9e1d-02000a630002</wsa:Address>"));
  EXPECT_TRUE(
      has(hello,
          "<wsd:Scopes>onvif://www.onvif.org/Profile/Streaming "
          "onvif://www.onvif.org/type/video_encoder onvif://www.onvif.org/type/audio_encoder "
          "onvif://www.onvif.org/location/usa onvif://www.onvif.org/hardware/CV-7000 "
          "onvif://www.onvif.org/name/Corvane user/1 user/2 </wsd:Scopes>"));
  EXPECT_TRUE(has(hello, "<wsd:XAddrs>http://10.99.0.2:8080/onvif/device_service</wsd:XAddrs>"));
  EXPECT_TRUE(has(hello, "xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\""));
  EXPECT_TRUE(has(hello, "<wsa:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Hello<"));
}

TEST(DiscoveryMessagesTest, ProbeMatchesCarriesTheScopesOfHello) {
  std::string matches = build_probe_matches(camera(), 0x1234abcd, 3, "uuid:r-1", " user/1");
  EXPECT_EQ(matches.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u);
  EXPECT_TRUE(has(matches, "<wsa:MessageID>uuid:1234abcd-a7d2-11e0-8b41-0250c2f3a9e6<"));
  EXPECT_TRUE(has(matches, "<wsa:RelatesTo>uuid:r-1</wsa:RelatesTo>"));
  EXPECT_TRUE(has(matches, "MessageNumber=\"3\" InstanceId=\"1315554766\""));
  EXPECT_TRUE(
      has(matches,
          "<d:Scopes>onvif://www.onvif.org/Profile/Streaming "
          "onvif://www.onvif.org/type/video_encoder onvif://www.onvif.org/type/audio_encoder "
          "onvif://www.onvif.org/location/usa onvif://www.onvif.org/hardware/CV-7000 "
          "onvif://www.onvif.org/name/Corvane user/1 </d:Scopes>"));
  EXPECT_TRUE(has(matches, "xmlns:SOAP-ENC=\"http://www.w3.org/2003/05/soap-encoding\""));
}

TEST(DiscoveryMessagesTest, FaultNamesTheMatchingRule) {
  std::string fault = build_matching_rule_fault(1, 9, "uuid:r-2");
  EXPECT_EQ(fault.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope", 0), 0u);
  EXPECT_TRUE(has(fault, "<wsa:RelatesTo>uuid:r-2</wsa:RelatesTo>"));
  EXPECT_TRUE(has(fault, "<AppSequenceType MessageNumber=\"9\" InstanceId=\"1\"/>"));
  EXPECT_TRUE(has(fault, "<SOAP-ENV:Value>wsd:MatchingRuleNotSupported</SOAP-ENV:Value>"));
  EXPECT_TRUE(has(fault, "The matching rule specified is not supported"));
}

TEST(DiscoveryMessagesTest, RelatesToCutInsideAnEntityIsEscaped) {
  const std::string cut = "uuid:" + std::string(51, 'f') + "&am";  // 59 characters
  const std::string echoed =
      "<wsa:RelatesTo>uuid:" + std::string(51, 'f') + "&amp;am</wsa:RelatesTo>";
  EXPECT_TRUE(has(build_probe_matches(camera(), 1, 1, cut, ""), echoed));
  EXPECT_TRUE(has(build_matching_rule_fault(1, 1, cut), echoed));
  EXPECT_TRUE(has(build_matching_rule_fault(1, 1, "a<b"), "<wsa:RelatesTo>a&lt;b</wsa:RelatesTo>"));
}

TEST(DiscoveryMessagesTest, NameScopeFollowsTheModelPrefixInAnyCase) {
  EXPECT_TRUE(is_maker_model("CV"));
  EXPECT_TRUE(is_maker_model("cV-1"));
  EXPECT_FALSE(is_maker_model("XCV"));
  EXPECT_FALSE(is_maker_model("c"));
  DiscoveryIdentity other = camera();
  other.model = "IPC-1";
  EXPECT_TRUE(has(build_hello(other, 0, 1, ""), "onvif://www.onvif.org/name/OLM </wsd:Scopes>"));
  EXPECT_TRUE(
      has(build_probe_matches(other, 0, 1, "r", ""), "onvif://www.onvif.org/name/OLM </d:Scopes>"));
}

TEST(DiscoveryMessagesTest, OverlongMessageIsCutToTheBuffer) {
  std::string user(5000, 's');
  EXPECT_EQ(build_hello(camera(), 0, 1, user).size(), kDiscoveryMessageBytes - 1);
}

}  // namespace
}  // namespace nvtd
