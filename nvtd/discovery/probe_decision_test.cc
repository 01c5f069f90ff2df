// The datagram decision, step by step, on probe texts as clients write them.
#include "nvtd/discovery/probe_decision.h"

#include <gtest/gtest.h>

#include <string>

namespace nvtd {
namespace {

int NoUserScope(std::string_view) {
  return 0;
}
int RoomUserScope(std::string_view scopes) {
  return scopes.find("onvif://www.onvif.org/room/7") != std::string_view::npos;
}

std::string Probe(const std::string& header, const std::string& probe) {
  return "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"x\" xmlns:a=\"y\" xmlns:d=\"z\">"
         "<s:Header>" +
         header +
         "<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe"
         "</a:Action></s:Header><s:Body><d:Probe>" +
         probe + "</d:Probe></s:Body></s:Envelope>";
}
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
      {"no types, no scopes", Probe(kId, ""), matches},
      {"types NVT only", Probe(kId, kNvt), matches},
      {"types of another kind", Probe(kId, "<d:Types>tds:Device</d:Types>"), matches},
      {"empty types", Probe(kId, "<d:Types></d:Types>"), matches},
      {"NVT and unknown location",
       Probe(kId, kNvt + "<d:Scopes>onvif://www.onvif.org/location/mars</d:Scopes>"), none},
      {"NVT and video_encoder",
       Probe(kId, kNvt + "<d:Scopes>onvif://www.onvif.org/type/video_encoder</d:Scopes>"), matches},
      {"hardware of any model",
       Probe(kId, kNvt + "<d:Scopes>onvif://www.onvif.org/hardware/other</d:Scopes>"), matches},
      {"InvalidMatchRule with scopes",
       Probe(kId, "<d:Scopes MatchBy=\"InvalidMatchRule\">onvif://www.onvif.org/x</d:Scopes>"),
       fault},
      {"InvalidMatchRule without types or scopes", Probe(kId, "") + "<!-- InvalidMatchRule -->",
       none},
      {"invalid, any case, no types or scopes", Probe(kId, "") + "<!-- INVALID -->", none},
      {"empty self-closed scopes beats invalid", Probe(kId, "<d:Scopes />") + "<!-- invalid -->",
       matches},
      {"invalid with matching scopes", Probe(kId, "<d:Scopes>hardware</d:Scopes><x>Invalid</x>"),
       none},
      {"empty scopes element", Probe(kId, kNvt + "<d:Scopes></d:Scopes>"), matches},
      {"text after a NUL is not read", Probe(kId, "") + std::string(1, '\0') + "<!-- invalid -->",
       matches},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideProbe(c.datagram, NoUserScope).answer, c.answer) << c.name;
  }
}

TEST(DecideProbeTest, UserScopeMatchAnswersAnUnknownScope) {
  std::string datagram =
      Probe(kId, kNvt + "<d:Scopes>onvif://www.onvif.org/room/77 onvif://x/y</d:Scopes>");
  EXPECT_EQ(DecideProbe(datagram, RoomUserScope).answer, ProbeAnswer::kProbeMatches);
  EXPECT_EQ(DecideProbe(datagram, NoUserScope).answer, ProbeAnswer::kNone);
}

TEST(DecideProbeTest, RelatesToIsTheMessageIdOrTheFixedValue) {
  EXPECT_EQ(DecideProbe(Probe(kId, ""), NoUserScope).relates_to,
            "uuid:0a1b2c3d-0000-4000-8000-123456789abc");
  EXPECT_EQ(DecideProbe(Probe("", ""), NoUserScope).relates_to,
            "uuid:3b8e5a01-f2c4-4d97-a6e0-91bd27c4f85e");
  std::string long_id = "<a:MessageID>uuid:" + std::string(80, 'f') + "</a:MessageID>";
  EXPECT_EQ(DecideProbe(Probe(long_id, ""), NoUserScope).relates_to,
            "uuid:" + std::string(54, 'f'));
}

}  // namespace
}  // namespace nvtd
