// The datagram decision, step by step, on probe texts as clients write them.
#include "nvtd/discovery/probe_decision.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace nvtd {
namespace {

int no_user_scope(std::string_view) {
  return 0;
}
int room_user_scope(std::string_view scopes) {
  return scopes.find("onvif://www.onvif.org/room/7") != std::string_view::npos;
}

const std::string kNamespaces =
    " xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
    " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
    " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"";

std::string probe_text(const std::string& header, const std::string& probe) {
  return "<?xml version=\"1.0\"?><s:Envelope" + kNamespaces + "><s:Header>" + header +
         "<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe"
         "</a:Action></s:Header><s:Body><d:Probe>" +
         probe + "</d:Probe></s:Body></s:Envelope>";
}
const std::vector<std::string> kCamera = {
    "onvif://www.onvif.org/Profile/Streaming", "onvif://www.onvif.org/type/video_encoder",
    "onvif://www.onvif.org/location/usa", "onvif://www.onvif.org/name/OLM",
    "onvif://www.onvif.org/room/7"};
const std::string kId = "<a:MessageID>uuid:0a1b2c3d-0000-4000-8000-123456789abc</a:MessageID>";
const std::string kNvt = "<d:Types>dn:NetworkVideoTransmitter</d:Types>";

struct Case {
  const char* name;
  std::string datagram;
  ProbeAnswer answer;
};

TEST(DecideProbeTest, Steps) {
  const ProbeAnswer none = ProbeAnswer::kNone, matches = ProbeAnswer::kProbeMatches,
                    fault = ProbeAnswer::kMatchingRuleFault;
  const Case cases[] = {
      {"no types, no scopes", probe_text(kId, ""), matches},
      {"types NVT only", probe_text(kId, kNvt), matches},
      {"types of another kind", probe_text(kId, "<d:Types>tds:Device</d:Types>"), matches},
      {"empty types", probe_text(kId, "<d:Types></d:Types>"), matches},
      {"NVT and unknown location",
       probe_text(kId, kNvt + "<d:Scopes>onvif://www.onvif.org/location/mars</d:Scopes>"), none},
      {"NVT and video_encoder",
       probe_text(kId, kNvt + "<d:Scopes>onvif://www.onvif.org/type/video_encoder</d:Scopes>"),
       matches},
      {"hardware of any model",
       probe_text(kId, kNvt + "<d:Scopes>onvif://www.onvif.org/hardware/other</d:Scopes>"),
       matches},
      {"InvalidMatchRule with scopes",
       probe_text(kId, "<d:Scopes MatchBy=\"InvalidMatchRule\">onvif://www.onvif.org/x</d:Scopes>"),
       fault},
      {"InvalidMatchRule without types or scopes",
       probe_text(kId, "") + "<!-- InvalidMatchRule -->", none},
      {"invalid, any case, no types or scopes", probe_text(kId, "") + "<!-- INVALID -->", none},
      {"empty self-closed scopes beats invalid",
       probe_text(kId, "<d:Scopes />") + "<!-- invalid -->", matches},
      {"invalid with matching scopes",
       probe_text(kId, "<d:Scopes>hardware</d:Scopes><x>Invalid</x>"), none},
      {"empty scopes element", probe_text(kId, kNvt + "<d:Scopes></d:Scopes>"), matches},
      {"text after a NUL is not read",
       probe_text(kId, "") + std::string(1, '\0') + "<!-- invalid -->", matches},
      // The default scope rule, after the text tests.
      {"announced Profile/Streaming",
       probe_text(kId, kNvt + "<d:Scopes>onvif://www.onvif.org/Profile/Streaming</d:Scopes>"),
       matches},
      {"prefixes of two announced scopes",
       probe_text(kId,
                  "<d:Scopes>\n ONVIF://www.onvif.org/Profile onvif://www.onvif.org/name "
                  "</d:Scopes>"),
       matches},
      {"one of two scopes unknown",
       probe_text(kId,
                  "<d:Scopes>onvif://www.onvif.org/name onvif://www.onvif.org/location/nowhere"
                  "</d:Scopes>"),
       none},
      {"the RFC 3986 rule named",
       probe_text(kId,
                  "<d:Scopes MatchBy=\"http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01/"
                  "rfc3986\">onvif://www.onvif.org/name/OLM</d:Scopes>"),
       matches},
      {"the 2005 name of the rule",
       probe_text(kId,
                  "<d:Scopes MatchBy='http://schemas.xmlsoap.org/ws/2005/04/discovery/rfc2396'>"
                  "onvif://www.onvif.org/location</d:Scopes>"),
       matches},
      {"another rule keeps the text tests only",
       probe_text(kId,
                  "<d:Scopes MatchBy=\"http://schemas.xmlsoap.org/ws/2005/04/discovery/strcmp0\">"
                  "onvif://www.onvif.org/Profile/Streaming</d:Scopes>"),
       none},
      {"matching scopes still lose to invalid",
       probe_text(kId, "<d:Scopes>onvif://www.onvif.org/Profile</d:Scopes>") + "<!-- invalid -->",
       none},
      {"a prefix that is not a whole segment",
       probe_text(kId, "<d:Scopes>onvif://www.onvif.org/Prof</d:Scopes>"), none},
      // Only a well-formed SOAP envelope whose Body is a WS-Discovery Probe is answered.
      {"one byte", "x", none},
      {"a bare Body and Probe", "<Body><Probe>", none},
      {"Body and Probe in no namespace", "<Envelope><Body>\n<Probe>\n</Probe></Body></Envelope>",
       none},
      {"an envelope without Probe",
       "<s:Envelope" + kNamespaces + "><s:Header/><s:Body><d:Resolve/></s:Body></s:Envelope>",
       none},
      {"ProbeMatches is not a Probe",
       "<s:Envelope" + kNamespaces +
           "><s:Body><d:ProbeMatches><d:Scopes /></d:ProbeMatches></s:Body></s:Envelope>",
       none},
      {"Probe outside the Body",
       "<s:Envelope" + kNamespaces + "><s:Header><d:Probe/></s:Header><s:Body/></s:Envelope>",
       none},
      {"Probe of another namespace",
       "<s:Envelope" + kNamespaces + "><s:Body><a:Probe/></s:Body></s:Envelope>", none},
      {"undeclared prefixes", "<s:Envelope><s:Body><d:Probe/></s:Body></s:Envelope>", none},
      {"not closed", probe_text(kId, "").substr(0, probe_text(kId, "").size() - 1), none},
      {"a second element in the Body",
       "<s:Envelope" + kNamespaces + "><s:Body><d:Probe/><d:Probe/></s:Body></s:Envelope>", none},
      {"text in the Body",
       "<s:Envelope" + kNamespaces + "><s:Body>x<d:Probe/></s:Body></s:Envelope>", none},
      {"an element after the Body",
       "<s:Envelope" + kNamespaces + "><s:Body><d:Probe/></s:Body><s:Body/></s:Envelope>", none},
      {"a document type",
       "<!DOCTYPE s:Envelope [<!ENTITY e \"x\">]><s:Envelope" + kNamespaces +
           "><s:Body><d:Probe/></s:Body></s:Envelope>",
       none},
      {"default namespaces, no header",
       "<Envelope xmlns=\"http://www.w3.org/2003/05/soap-envelope\"><Body>\n<Probe "
       "xmlns=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"/>\n</Body></Envelope>",
       matches},
      {"SOAP 1.1 and WS-Discovery 1.1",
       "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body><p:Probe "
       "xmlns:p=\"http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01\"/></e:Body></e:Envelope>",
       matches},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decide_probe(c.datagram, kCamera, no_user_scope).answer, c.answer) << c.name;
  }
}

TEST(DecideProbeTest, UserScopeMatchAnswersAnUnknownScope) {
  std::string datagram =
      probe_text(kId, kNvt + "<d:Scopes>onvif://www.onvif.org/room/77 onvif://x/y</d:Scopes>");
  EXPECT_EQ(decide_probe(datagram, {}, room_user_scope).answer, ProbeAnswer::kProbeMatches);
  EXPECT_EQ(decide_probe(datagram, {}, no_user_scope).answer, ProbeAnswer::kNone);
}

TEST(DecideProbeTest, RelatesToIsTheMessageIdOrTheFixedValue) {
  EXPECT_EQ(decide_probe(probe_text(kId, ""), {}, no_user_scope).relates_to,
            "uuid:0a1b2c3d-0000-4000-8000-123456789abc");
  EXPECT_EQ(decide_probe(probe_text("", ""), {}, no_user_scope).relates_to,
            "uuid:3b8e5a01-f2c4-4d97-a6e0-91bd27c4f85e");
  std::string long_id = "<a:MessageID>uuid:" + std::string(80, 'f') + "</a:MessageID>";
  EXPECT_EQ(decide_probe(probe_text(long_id, ""), {}, no_user_scope).relates_to,
            "uuid:" + std::string(54, 'f'));
}

}  // namespace
}  // namespace nvtd
