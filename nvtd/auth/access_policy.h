// Who may call what: the ONVIF default access policy over the level of the users file.
// "user" reads the system and the media, "operator" also reads sensitive settings and
// actuates, "administrator" may do everything; any other level only the PRE_AUTH operations.
#pragma once

#include <string_view>

#include "nvtd/core/operation.h"

namespace nvtd {

// Whether an account of this level (compared without regard to case) may call an operation
// of this access class.
bool level_allows(std::string_view level, AccessClass access);

// The name of a READ class ("READ_SYSTEM", ...), whose operations change nothing, so that a
// request of one may come again with the same token; "" for the other classes.
std::string_view read_class_name(AccessClass access);

}  // namespace nvtd
