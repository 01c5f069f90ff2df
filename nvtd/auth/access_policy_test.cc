// The default access policy: each level against each access class.
#include "nvtd/auth/access_policy.h"

#include <gtest/gtest.h>

#include <utility>

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

TEST(AccessPolicy, OnlyTheReadClassesMayBeRepeated) {
  using A = AccessClass;
  const std::pair<A, const char*> cases[] = {
      {A::kReadSystem, "READ_SYSTEM"},
      {A::kReadSystemSensitive, "READ_SYSTEM_SENSITIVE"},
      {A::kReadSystemSecret, "READ_SYSTEM_SECRET"},
      {A::kReadMedia, "READ_MEDIA"},
      {A::kPreAuth, ""},
      {A::kWriteSystem, ""},
      {A::kUnrecoverable, ""},
      {A::kActuate, ""},
  };
  for (const auto& [access, name] : cases) EXPECT_EQ(read_class_name(access), name) << name;
}

}  // namespace
}  // namespace nvtd
