// The user-scope table: first-free-slot allocation, exact-match removal, the derived
// strings and substring matching.
#include "nvtd/discovery/scopes.h"

#include <gtest/gtest.h>

#include <string>

namespace nvtd {
namespace {

class ScopesTest : public ::testing::Test {
 protected:
  void SetUp() override { ScopesInit(); }
};

TEST_F(ScopesTest, AddTakesLowestFreeEntryAndRefusesASixth) {
  for (int i = 0; i < kUserScopeCount; ++i) EXPECT_EQ(ScopeAdd("s" + std::to_string(i)), i);
  EXPECT_EQ(ScopeAdd("extra"), -1);
  EXPECT_EQ(ScopeString(), " s0 s1 s2 s3 s4");
  EXPECT_EQ(ScopeRemove("s1"), 0);
  EXPECT_EQ(ScopeAdd("again"), 1);  // the freed slot, so entry order changes
  EXPECT_EQ(ScopeString(), " s0 again s2 s3 s4");
}

TEST_F(ScopesTest, RemoveNeedsAnExactMatchAndFreesOnlyTheFirstDuplicate) {
  ScopeAdd("onvif://www.onvif.org/room/a");
  ScopeAdd("onvif://www.onvif.org/room/a");
  EXPECT_EQ(ScopeRemove("onvif://www.onvif.org/room"), -1);
  EXPECT_EQ(ScopeRemove("onvif://www.onvif.org/room/a"), 0);
  EXPECT_EQ(ScopeString(), " onvif://www.onvif.org/room/a");
  EXPECT_EQ(ScopeRemove("onvif://www.onvif.org/room/a"), 0);
  EXPECT_EQ(ScopeString(), "");
  EXPECT_EQ(ScopeItemString(), "");
}

TEST_F(ScopesTest, DerivedStringsFollowEntryOrder) {
  ScopeAdd("a/1");
  ScopeAdd("b/2");
  EXPECT_EQ(ScopeString(), " a/1 b/2");
  EXPECT_EQ(ScopeItemString(),
            "<tds:ScopeItem>a/1</tds:ScopeItem><tds:ScopeItem>b/2</tds:ScopeItem>");
}

TEST_F(ScopesTest, SetReplacesEveryUserScope) {
  ScopeAdd("a");
  ScopeAdd("b");
  EXPECT_EQ(ScopeSet("c"), 0);
  EXPECT_EQ(ScopeString(), " c");
}

TEST_F(ScopesTest, LongScopeIsCutAndFiveLongScopesFitTheStrings) {
  const std::string long_scope(80, 'x');
  for (int i = 0; i < kUserScopeCount; ++i) ScopeAdd(long_scope);
  EXPECT_EQ(ScopeString(), std::string(" ") + std::string(63, 'x') + " " + std::string(63, 'x') +
                               " " + std::string(63, 'x') + " " + std::string(63, 'x') + " " +
                               std::string(63, 'x'));
  EXPECT_EQ(ScopeItemString().size(), 5u * (15 + 63 + 16));
}

TEST_F(ScopesTest, ScopesAreEscapedAndCutOnlyAtWholeScopes) {
  // SetScopes keeps 63 characters; this cut lands inside "&amp;".
  ScopeSet(std::string(60, 'r') + "&amp;tail");
  EXPECT_EQ(ScopeString(), " " + std::string(60, 'r') + "&amp;am");
  EXPECT_EQ(ScopeItemString(),
            "<tds:ScopeItem>" + std::string(60, 'r') + "&amp;am</tds:ScopeItem>");
  EXPECT_EQ(ScopeMatch(std::string(60, 'r') + "&am"), 1);  // matching uses the stored text
  // Escaped, five scopes of 63 "<" outgrow the bound: only whole scopes are kept.
  ScopesInit();
  for (int i = 0; i < kUserScopeCount; ++i) ScopeAdd(std::string(63, '<'));
  std::string escaped;
  for (int i = 0; i < 63; ++i) escaped += "&lt;";
  EXPECT_EQ(ScopeString(), " " + escaped);
  EXPECT_EQ(ScopeItemString(), "<tds:ScopeItem>" + escaped + "</tds:ScopeItem>");
  EXPECT_EQ(ScopeRemove(std::string(63, '<')), 0);
  EXPECT_EQ(ScopeString(), " " + escaped);  // the next one fits now
}

TEST_F(ScopesTest, MatchIsASubstringTestOverInUseEntries) {
  EXPECT_EQ(ScopeMatch("onvif://www.onvif.org/room/a"), 0);
  ScopeAdd("onvif://www.onvif.org/room/a");
  EXPECT_EQ(ScopeMatch("onvif://www.onvif.org/room/abc onvif://x"), 1);
  EXPECT_EQ(ScopeMatch("onvif://www.onvif.org/room/"), 0);
  ScopeRemove("onvif://www.onvif.org/room/a");
  EXPECT_EQ(ScopeMatch("onvif://www.onvif.org/room/abc"), 0);
}

TEST(FixedScopesTest, SixInOrderWithTheModelAndItsName) {
  auto fixed = FixedScopes("CV-100");
  EXPECT_EQ(fixed[0], "onvif://www.onvif.org/Profile/Streaming");
  EXPECT_EQ(fixed[3], "onvif://www.onvif.org/location/usa");
  EXPECT_EQ(fixed[4], "onvif://www.onvif.org/hardware/CV-100");
  EXPECT_EQ(fixed[5], "onvif://www.onvif.org/name/Corvane");
  EXPECT_EQ(FixedScopes("TQLM-R204")[5], "onvif://www.onvif.org/name/OLM");
}

TEST_F(ScopesTest, CameraScopesAreTheFixedThenTheAnnouncedUserScopes) {
  ScopeAdd("room/7");
  ScopeAdd(std::string(63, '<'));
  ScopeAdd(std::string(63, '<'));  // escaped, the second no longer fits: not announced
  ScopeAdd("<b>");
  auto scopes = CameraScopes("x");
  ASSERT_EQ(scopes.size(), 9u);
  EXPECT_EQ(scopes[5], "onvif://www.onvif.org/name/OLM");
  EXPECT_EQ(scopes[6], "room/7");
  EXPECT_EQ(scopes[7], std::string(63, '<'));
  EXPECT_EQ(scopes[8], "<b>");
  EXPECT_EQ(ScopeListText("a&b", " room/7 &lt;b&gt;"),
            "onvif://www.onvif.org/Profile/Streaming onvif://www.onvif.org/type/video_encoder "
            "onvif://www.onvif.org/type/audio_encoder onvif://www.onvif.org/location/usa "
            "onvif://www.onvif.org/hardware/a&amp;b onvif://www.onvif.org/name/OLM room/7 "
            "&lt;b&gt; ");
}

}  // namespace
}  // namespace nvtd
