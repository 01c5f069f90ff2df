// Fuzz target: the user operations' request reader over arbitrary bytes, and the account
// edits over what it reads (over lines in memory, no file): an account made must come back
// from the lines under its own name.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "nvtd/auth/user_table.h"
#include "nvtd/device/user_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy, so reading one byte past the end is caught.
  std::vector<char> copy(data, data + size);
  std::string_view body(copy.data(), copy.size());
  const std::vector<std::string> start = {"boss:administrator:x:", "a:user:y:"};
  std::vector<nvtd::AccountEntry> entries;
  if (nvtd::read_user_entries(body, &entries) == nvtd::AccountRefusal::kNone) {
    std::vector<std::string> lines = start;
    if (nvtd::create_in(lines, entries) == nvtd::AccountRefusal::kNone) {
      std::vector<nvtd::Account> accounts = nvtd::accounts_of(lines);
      for (const nvtd::AccountEntry& e : entries) {
        auto named = [&](const nvtd::Account& a) { return a.name == e.name; };
        if (std::none_of(accounts.begin(), accounts.end(), named)) __builtin_trap();
      }
    }
    lines = start;
    nvtd::set_in(lines, entries);
  }
  std::vector<std::string> lines = start;
  nvtd::delete_in(lines, nvtd::read_user_names(body));
  return 0;
}
