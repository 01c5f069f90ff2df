// The RFC 3986 scope rule, case by case, and a probe's list against the camera's set.
#include "nvtd/discovery/scope_match.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(Rfc3986ScopeMatchTest, Cases) {
  const std::string own = "onvif://www.onvif.org/Profile/Streaming";
  const struct {
    const char* probe;
    std::string camera;
    bool match;
  } cases[] = {
      {"onvif://www.onvif.org/Profile/Streaming", own, true},
      {"onvif://www.onvif.org/Profile", own, true},
      {"onvif://www.onvif.org/", own, true},
      {"onvif://www.onvif.org", own, true},
      {"ONVIF://WWW.ONVIF.ORG/Profile", own, true},   // scheme, authority: any case
      {"onvif://www.onvif.org/profile", own, false},  // segments: exact
      {"onvif://www.onvif.org/Prof", own, false},     // whole segments only
      {"onvif://www.onvif.org/Profile/Streaming/x", own, false},
      {"onvif://www.onvif.org/Profile/", own, true},       // trailing "/"
      {"onvif://www.onvif.org//Profile", own, true},       // empty segment
      {"onvif://www.onvif.org/Pro%66ile", own, true},      // escapes decoded
      {"onvif://www.onvif.org/Profile?q=1#f", own, true},  // query, fragment not compared
      {"onvif://www.onvif.org/./Profile", own, false},     // "." matches nothing
      {"onvif://www.onvif.org/Profile/..", own, false},
      {"onvif://www.onvif.org/%2e%2E/Profile", own, false},
      {"onvif://other.org/Profile", own, false},
      {"http://www.onvif.org/Profile", own, false},
      {"onvif://www.onvif.org:80/Profile", own, false},
      {"www.onvif.org/Profile", own, false},  // no scheme
      {"", own, false},
      {"onvif://www.onvif.org/location/nowhere", "onvif://www.onvif.org/location/usa", false},
      {"urn:a/b", "urn:a/b/c", true},                // no authority
      {"onvif://www.onvif.org/x", "room/7", false},  // camera scope without scheme
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rfc3986_scope_match(c.probe, c.camera), c.match) << c.probe << " / " << c.camera;
  }
}

TEST(EveryScopeMatchesTest, EachProbeScopeNeedsAMatch) {
  const std::vector<std::string> camera = {"onvif://www.onvif.org/Profile/Streaming",
                                           "onvif://www.onvif.org/location/usa"};
  EXPECT_TRUE(every_scope_matches(
      " onvif://www.onvif.org/Profile\n\tonvif://www.onvif.org/location ", camera));
  EXPECT_FALSE(every_scope_matches("onvif://www.onvif.org/Profile onvif://www.onvif.org/location/x",
                                   camera));
  EXPECT_FALSE(every_scope_matches("  ", camera));
  EXPECT_FALSE(every_scope_matches("onvif://www.onvif.org/Profile", {}));
}

}  // namespace
}  // namespace nvtd
