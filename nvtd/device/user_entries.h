// Reading the user operations' requests: the User entries of CreateUsers and SetUser and the
// Username values of DeleteUsers, each value taken whole from its own element.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "nvtd/auth/user_table.h"

namespace nvtd {

// The User elements of `body` in order, each with its Username (raw, as authentication
// compares it), Password (character references decoded; absent when the entry has none) and
// UserLevel. Returns kValueInvalid when an entry lacks Username or UserLevel, or a value holds
// markup or a reference that does not decode; kNone otherwise.
AccountRefusal read_user_entries(std::string_view body, std::vector<AccountEntry>* entries);

// The Username values of `body` in order (raw).
std::vector<std::string> read_user_names(std::string_view body);

}  // namespace nvtd
