// One datagram's answer: nothing for what is not a Probe, the camera's whole scope set in
// ProbeMatches, the per-source limit and the budget across sources.
#include "nvtd/discovery/datagram_answer.h"

#include <gtest/gtest.h>

#include <string>

#include "nvtd/discovery/scopes.h"

namespace nvtd {
namespace {

const std::string kNamespaces =
    " xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\""
    " xmlns:a=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
    " xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\"";

std::string probe_text(const std::string& scopes) {
  return "<s:Envelope" + kNamespaces +
         "><s:Header><a:MessageID>uuid:1</a:MessageID></s:Header><s:Body><d:Probe>" + scopes +
         "</d:Probe></s:Body></s:Envelope>";
}

class DatagramAnswerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scopes_init();
    responder.identity.model = "TQLM-R204";
  }
  DiscoveryResponder responder;
};

TEST_F(DatagramAnswerTest, OnlyProbesAreAnswered) {
  const struct {
    const char* name;
    std::string datagram;
    const char* answer;  // a text the answer holds, or nullptr for none
  } cases[] = {
      {"one byte", "x", nullptr},
      {"empty", "", nullptr},
      {"envelope without Probe",
       "<s:Envelope" + kNamespaces +
           "><s:Header><a:MessageID>uuid:2</a:MessageID></s:Header><s:Body><d:Resolve>"
           "</d:Resolve></s:Body></s:Envelope>",
       nullptr},
      {"probe", probe_text(""), "<d:ProbeMatches>"},
      {"probe for an announced scope",
       probe_text("<d:Scopes>onvif://www.onvif.org/Profile/Streaming</d:Scopes>"),
       "<d:ProbeMatches>"},
      {"probe for an unknown location",
       probe_text("<d:Scopes>onvif://www.onvif.org/location/nowhere</d:Scopes>"), nullptr},
      {"probe with an unknown rule",
       probe_text("<d:Scopes MatchBy=\"InvalidMatchRule\">onvif://x/y</d:Scopes>"),
       "MatchingRuleNotSupported"},
  };
  uint32_t source = 1;
  for (const auto& c : cases) {
    std::string answer = answer_datagram(responder, c.datagram, source++, 0, nullptr);
    if (c.answer == nullptr) {
      EXPECT_EQ(answer, "") << c.name;
    } else {
      EXPECT_NE(answer.find(c.answer), std::string::npos) << c.name;
    }
  }
}

TEST_F(DatagramAnswerTest, ProbeMatchesCarriesTheScopeSetOfHello) {
  scope_add("onvif://www.onvif.org/room/7");
  auto refresh = [](DiscoveryIdentity& id) { id.address = "10.99.0.2"; };
  std::string answer = answer_datagram(responder, probe_text(""), 1, 0, refresh);
  const std::string scopes = scope_list_text("TQLM-R204", announced_scopes());
  EXPECT_NE(answer.find("<d:Scopes>" + scopes + "</d:Scopes>"), std::string::npos) << answer;
  EXPECT_NE(answer.find("http://10.99.0.2:80/onvif/device_service"), std::string::npos);
  EXPECT_NE(build_hello(responder.identity, 1, 1, announced_scopes()).find(scopes),
            std::string::npos);
  EXPECT_NE(scopes.find("name/OLM onvif://www.onvif.org/room/7 "), std::string::npos);
  // A user scope is matched by the default rule too.
  EXPECT_NE(
      answer_datagram(responder, probe_text("<d:Scopes>onvif://www.onvif.org/room</d:Scopes>"), 2,
                      0, nullptr),
      "");
}

TEST_F(DatagramAnswerTest, AnswersToOneSourceAreLimited) {
  int answered = 0;
  for (int i = 0; i < 100; ++i) {
    answered += !answer_datagram(responder, probe_text(""), 7, 0, nullptr).empty();
  }
  EXPECT_EQ(answered, SourceLimiter::kBurst);
  EXPECT_NE(answer_datagram(responder, probe_text(""), 8, 0, nullptr), "");
  // What gets no answer costs the source nothing.
  EXPECT_EQ(answer_datagram(responder, "x", 9, 0, nullptr), "");
  for (int i = 0; i < SourceLimiter::kBurst; ++i) {
    EXPECT_NE(answer_datagram(responder, probe_text(""), 9, 0, nullptr), "") << i;
  }
}

TEST_F(DatagramAnswerTest, SourcesTakingTurnsDrawAtMostTheBudgetAndANewcomerIsAnswered) {
  // 40 addresses take turns at 600 probes a second for 5 s; a newcomer probes three times in
  // the last second.
  int answered = 0, newcomer = 0;
  for (int64_t i = 0; i < 3000; ++i) {
    int64_t now = i * 5 / 3;  // ms
    answered +=
        !answer_datagram(responder, probe_text(""), 100 + uint32_t(i % 40), now, nullptr).empty();
    if (i >= 2400 && i % 200 == 0) {
      newcomer += !answer_datagram(responder, probe_text(""), 7, now, nullptr).empty();
    }
  }
  EXPECT_LE(answered, AnswerBudget::kAnswersPerSecond * 6);  // a second's burst and 5 s
  EXPECT_GE(newcomer, 1);
}

}  // namespace
}  // namespace nvtd
