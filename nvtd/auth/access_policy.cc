// The default access policy as a table of levels and classes.
#include "nvtd/auth/access_policy.h"

#include <strings.h>

#include <initializer_list>

namespace nvtd {
namespace {

struct LevelRights {
  const char* level;
  std::initializer_list<AccessClass> classes;
};

const LevelRights kLevels[] = {
    {"user", {AccessClass::kPreAuth, AccessClass::kReadSystem, AccessClass::kReadMedia}},
    {"operator",
     {AccessClass::kPreAuth, AccessClass::kReadSystem, AccessClass::kReadMedia,
      AccessClass::kReadSystemSensitive, AccessClass::kActuate}},
    {"administrator",
     {AccessClass::kPreAuth, AccessClass::kReadSystem, AccessClass::kReadMedia,
      AccessClass::kReadSystemSensitive, AccessClass::kActuate, AccessClass::kReadSystemSecret,
      AccessClass::kWriteSystem, AccessClass::kUnrecoverable}},
};

}  // namespace

bool level_allows(std::string_view level, AccessClass access) {
  if (access == AccessClass::kPreAuth) return true;
  for (const LevelRights& rights : kLevels) {
    std::string_view name = rights.level;
    if (level.size() != name.size() || strncasecmp(level.data(), name.data(), name.size()) != 0) {
      continue;
    }
    for (AccessClass granted : rights.classes) {
      if (granted == access) return true;
    }
    return false;
  }
  return false;
}

std::string_view read_class_name(AccessClass access) {
  switch (access) {
    case AccessClass::kReadSystem:
      return "READ_SYSTEM";
    case AccessClass::kReadSystemSensitive:
      return "READ_SYSTEM_SENSITIVE";
    case AccessClass::kReadSystemSecret:
      return "READ_SYSTEM_SECRET";
    case AccessClass::kReadMedia:
      return "READ_MEDIA";
    case AccessClass::kPreAuth:  // answered before authentication: never has a token
    case AccessClass::kWriteSystem:
    case AccessClass::kUnrecoverable:
    case AccessClass::kActuate:
      return "";
  }
  return "";
}

}  // namespace nvtd
