// The scope requests: fixed-scope refusal, the ScopeItem walk of AddScopes and
// RemoveScopes, and the texts they answer with.
#include "nvtd/discovery/scope_requests.h"

#include <gtest/gtest.h>

#include <string>

#include "nvtd/discovery/scopes.h"

namespace nvtd {
namespace {

class ScopeRequestsTest : public ::testing::Test {
 protected:
  void SetUp() override { scopes_init(); }
};

std::string add_body(const std::string& items) {
  return "<s:Body><tds:AddScopes>" + items + "</tds:AddScopes></s:Body></s:Envelope>";
}

TEST_F(ScopeRequestsTest, AddWalksItemsWhoseEndTagsHaveNoPrefix) {
  for_each_scope_item(add_body("<tds:ScopeItem>onvif://www.onvif.org/a</ScopeItem>"
                               "<tds:ScopeItem>onvif://www.onvif.org/b</ScopeItem>"),
                      scope_add);
  EXPECT_EQ(announced_scopes(), " onvif://www.onvif.org/a onvif://www.onvif.org/b");
}

TEST_F(ScopeRequestsTest, AddStopsAfterTheFirstItemWhenEndTagsArePrefixed) {
  for_each_scope_item(add_body("<tds:ScopeItem>onvif://www.onvif.org/a</tds:ScopeItem>"
                               "<tds:ScopeItem>onvif://www.onvif.org/b</tds:ScopeItem>"),
                      scope_add);
  EXPECT_EQ(announced_scopes(), " onvif://www.onvif.org/a");
}

TEST_F(ScopeRequestsTest, SixthItemIsDroppedAndLongItemsAreCut) {
  std::string items;
  for (int i = 0; i < 6; ++i) {
    items += "<ScopeItem>item" + std::to_string(i) + std::string(70, 'z') + "</ScopeItem>";
  }
  for_each_scope_item(add_body(items), scope_add);
  std::string expected;
  for (int i = 0; i < 5; ++i) {
    expected += " item" + std::to_string(i) + std::string(63 - 5, 'z');
  }
  EXPECT_EQ(announced_scopes(), expected);
}

TEST_F(ScopeRequestsTest, WalkStopsWhenThirtyBytesOrFewerAreLeft) {
  // After the first item only "<ScopeItem>b</ScopeItem>" (24 bytes) is left.
  for_each_scope_item("<ScopeItem>a</ScopeItem><ScopeItem>b</ScopeItem>", scope_add);
  EXPECT_EQ(announced_scopes(), " a");
}

TEST_F(ScopeRequestsTest, RemoveOfTheOnlyUserScopeAnswersTheSixFixedScopes) {
  // "M1" is outside the maker's line: the name scope is OLM, as in Hello.
  scope_add("onvif://www.onvif.org/room/x");
  for_each_scope_item(add_body("<tds:ScopeItem>onvif://www.onvif.org/room/x</ScopeItem>"
                               "<tds:ScopeItem>onvif://www.onvif.org/unknown</ScopeItem>"),
                      scope_remove);
  const std::string p = "<tds:ScopeItem>onvif://www.onvif.org/";
  EXPECT_EQ(remove_scopes_body("M1", announced_scope_items()),
            "<SOAP-ENV:Body><tds:RemoveScopesResponse>" + p + "Profile/Streaming</tds:ScopeItem>" +
                p + "type/video_encoder</tds:ScopeItem>" + p +
                "type/audio_encoder</tds:ScopeItem>" + p + "location/usa</tds:ScopeItem>" + p +
                "hardware/M1</tds:ScopeItem>" + p + "name/OLM</tds:ScopeItem>" +
                "</tds:RemoveScopesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>");
}

TEST_F(ScopeRequestsTest, RemoveAnswerEndsWithTheRemainingUserScopes) {
  scope_add("keep/1");
  scope_add("drop/2");
  for_each_scope_item(add_body("<ScopeItem>drop/2</ScopeItem>"), scope_remove);
  std::string body = remove_scopes_body("M1", announced_scope_items());
  EXPECT_NE(body.find("name/OLM</tds:ScopeItem><tds:ScopeItem>keep/1</tds:ScopeItem>"
                      "</tds:RemoveScopesResponse>"),
            std::string::npos);
}

TEST(NamesFixedScopeTest, EachFixedPartIsRefusedAnywhereInTheBody) {
  for (const char* part : {"/Profile/", "/type/video_encoder", "/type/audio_encoder", "/location/",
                           "/hardware/", "/name/"}) {
    EXPECT_TRUE(
        names_fixed_scope(std::string("<Scopes>onvif://www.onvif.org") + part + "x</Scopes>"))
        << part;
  }
  EXPECT_TRUE(names_fixed_scope("<Scopes>new/scope</Scopes><!-- /hardware/ -->"));
  EXPECT_FALSE(names_fixed_scope("<Scopes>onvif://www.onvif.org/room/7</Scopes>"));
}

TEST(GetScopesEnvelopeTest, ListsTheFixedThenTheUserScopes) {
  std::string text = get_scopes_envelope("cv7", {"user/1", "a<b"});
  std::size_t count = 0;
  for (std::size_t at = 0;
       (at = text.find("<tt:ScopeDef>Fixed</tt:ScopeDef>", at)) != std::string::npos; ++at) {
    ++count;
  }
  EXPECT_EQ(count, 6u);
  EXPECT_NE(text.find("<tt:ScopeItem>onvif://www.onvif.org/hardware/cv7</tt:ScopeItem>"),
            std::string::npos);
  EXPECT_NE(text.find("name/Corvane</tt:ScopeItem></tds:Scopes><tds:Scopes><tt:ScopeDef>"
                      "Configurable</tt:ScopeDef><tt:ScopeItem>user/1</tt:ScopeItem></tds:Scopes>"
                      "<tds:Scopes><tt:ScopeDef>Configurable</tt:ScopeDef><tt:ScopeItem>a&lt;b"
                      "</tt:ScopeItem></tds:Scopes></tds:GetScopesResponse>"),
            std::string::npos);
  EXPECT_EQ(text.rfind("<?xml", 0), 0u);
}

}  // namespace
}  // namespace nvtd
