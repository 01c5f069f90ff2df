// The default access policy: each level against each access class.
#include "nvtd/auth/access_policy.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

TEST(AccessPolicy, LevelsGrantTheirClassesOnly) {
  using A = AccessClass;
  const A classes[] = {A::kPreAuth, A::kReadSystem,       A::kReadMedia,   A::kReadSystemSensitive,
                       A::kActuate, A::kReadSystemSecret, A::kWriteSystem, A::kUnrecoverable};
  struct Case {
    const char* level;
    int granted;  // the first `granted` classes above
  };
  const Case cases[] = {{"user", 3},  {"operator", 5}, {"administrator", 8}, {"Administrator", 8},
                        {"admin", 1}, {"", 1},         {"users", 1},         {"root", 1}};
  for (const Case& c : cases) {
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(level_allows(c.level, classes[i]), i < c.granted) << c.level << " " << i;
    }
  }
}

}  // namespace
}  // namespace nvtd
