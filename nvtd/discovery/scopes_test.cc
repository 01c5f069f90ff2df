// The user-scope table: first-free-slot allocation, exact-match removal, the derived
// strings and substring matching.
#include "nvtd/discovery/scopes.h"

#include <gtest/gtest.h>

#include <string>

namespace nvtd {
namespace {

class ScopesTest : public ::testing::Test {
 protected:
  void SetUp() override { scopes_init(); }
};

TEST_F(ScopesTest, AddTakesLowestFreeEntryAndRefusesASixth) {
  for (int i = 0; i < kUserScopeCount; ++i) EXPECT_EQ(scope_add("s" + std::to_string(i)), i);
  EXPECT_EQ(scope_add("extra"), -1);
  EXPECT_EQ(announced_scopes(), " s0 s1 s2 s3 s4");
  EXPECT_EQ(scope_remove("s1"), 0);
  EXPECT_EQ(scope_add("again"), 1);  // the freed slot, so entry order changes
  EXPECT_EQ(announced_scopes(), " s0 again s2 s3 s4");
}

TEST_F(ScopesTest, RemoveNeedsAnExactMatchAndFreesOnlyTheFirstDuplicate) {
  scope_add("onvif://www.onvif.org/room/a");
  scope_add("onvif://www.onvif.org/room/a");
  EXPECT_EQ(scope_remove("onvif://www.onvif.org/room"), -1);
  EXPECT_EQ(scope_remove("onvif://www.onvif.org/room/a"), 0);
  EXPECT_EQ(announced_scopes(), " onvif://www.onvif.org/room/a");
  EXPECT_EQ(scope_remove("onvif://www.onvif.org/room/a"), 0);
  EXPECT_EQ(announced_scopes(), "");
  EXPECT_EQ(announced_scope_items(), "");
}

TEST_F(ScopesTest, DerivedStringsFollowEntryOrder) {
  scope_add("a/1");
  scope_add("b/2");
  EXPECT_EQ(announced_scopes(), " a/1 b/2");
  EXPECT_EQ(announced_scope_items(),
            "<tds:ScopeItem>a/1</tds:ScopeItem><tds:ScopeItem>b/2</tds:ScopeItem>");
}

TEST_F(ScopesTest, SetReplacesEveryUserScope) {
  scope_add("a");
  scope_add("b");
  EXPECT_EQ(scope_set("c"), 0);
  EXPECT_EQ(announced_scopes(), " c");
}

TEST_F(ScopesTest, LongScopeIsCutAndFiveLongScopesFitTheStrings) {
  const std::string long_scope(80, 'x');
  for (int i = 0; i < kUserScopeCount; ++i) scope_add(long_scope);
  EXPECT_EQ(announced_scopes(), std::string(" ") + std::string(63, 'x') + " " +
                                    std::string(63, 'x') + " " + std::string(63, 'x') + " " +
                                    std::string(63, 'x') + " " + std::string(63, 'x'));
  EXPECT_EQ(announced_scope_items().size(), 5u * (15 + 63 + 16));
}

TEST_F(ScopesTest, ScopesAreEscapedAndCutOnlyAtWholeScopes) {
  // SetScopes keeps 63 characters; this cut lands inside "&amp;".
  scope_set(std::string(60, 'r') + "&amp;tail");
  EXPECT_EQ(announced_scopes(), " " + std::string(60, 'r') + "&amp;am");
  EXPECT_EQ(announced_scope_items(),
            "<tds:ScopeItem>" + std::string(60, 'r') + "&amp;am</tds:ScopeItem>");
  EXPECT_EQ(scope_match(std::string(60, 'r') + "&am"), 1);  // matching uses the stored text
  // Escaped, five scopes of 63 "<" outgrow the bound: only whole scopes are kept.
  scopes_init();
  for (int i = 0; i < kUserScopeCount; ++i) scope_add(std::string(63, '<'));
  std::string escaped;
  for (int i = 0; i < 63; ++i) escaped += "&lt;";
  EXPECT_EQ(announced_scopes(), " " + escaped);
  EXPECT_EQ(announced_scope_items(), "<tds:ScopeItem>" + escaped + "</tds:ScopeItem>");
  EXPECT_EQ(scope_remove(std::string(63, '<')), 0);
  EXPECT_EQ(announced_scopes(), " " + escaped);  // the next one fits now
}

TEST_F(ScopesTest, MatchIsASubstringTestOverInUseEntries) {
  EXPECT_EQ(scope_match("onvif://www.onvif.org/room/a"), 0);
  scope_add("onvif://www.onvif.org/room/a");
  EXPECT_EQ(scope_match("onvif://www.onvif.org/room/abc onvif://x"), 1);
  EXPECT_EQ(scope_match("onvif://www.onvif.org/room/"), 0);
  scope_remove("onvif://www.onvif.org/room/a");
  EXPECT_EQ(scope_match("onvif://www.onvif.org/room/abc"), 0);
}

TEST(FixedScopesTest, SixInOrderWithTheModelAndItsName) {
  auto fixed = fixed_scopes("CV-100");
  EXPECT_EQ(fixed[0], "onvif://www.onvif.org/Profile/Streaming");
  EXPECT_EQ(fixed[3], "onvif://www.onvif.org/location/usa");
  EXPECT_EQ(fixed[4], "onvif://www.onvif.org/hardware/CV-100");
  EXPECT_EQ(fixed[5], "onvif://www.onvif.org/name/Corvane");
  EXPECT_EQ(fixed_scopes("TQLM-R204")[5], "onvif://www.onvif.org/name/OLM");
}

TEST_F(ScopesTest, CameraScopesAreTheFixedThenTheAnnouncedUserScopes) {
  scope_add("room/7");
  scope_add(std::string(63, '<'));
  scope_add(std::string(63, '<'));  // escaped, the second no longer fits: not announced
  scope_add("<b>");
  auto scopes = camera_scopes("x");
  ASSERT_EQ(scopes.size(), 9u);
  EXPECT_EQ(scopes[5], "onvif://www.onvif.org/name/OLM");
  EXPECT_EQ(scopes[6], "room/7");
  EXPECT_EQ(scopes[7], std::string(63, '<'));
  EXPECT_EQ(scopes[8], "<b>");
  EXPECT_EQ(scope_list_text("a&b", " room/7 &lt;b&gt;"),
            "onvif://www.onvif.org/Profile/Streaming onvif://www.onvif.org/type/video_encoder "
            "onvif://www.onvif.org/type/audio_encoder onvif://www.onvif.org/location/usa "
            "onvif://www.onvif.org/hardware/a&amp;b onvif://www.onvif.org/name/OLM room/7 "
            "&lt;b&gt; ");
}

}  // namespace
}  // namespace nvtd
