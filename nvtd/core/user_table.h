// The in-memory user accounts kept by CreateUsers, DeleteUsers and SetUser and reported by
// GetUsers: five slots, cleared at start-up, never written to a file and never used to
// authenticate.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace nvtd {

struct UserSlot {
  std::string name;
  std::string password;  // as received, in clear
  std::string level;     // the UserLevel text as received
  bool in_use = false;
};

constexpr int kUserSlots = 5;
using UserTable = std::array<UserSlot, kUserSlots>;

// The process's table (lives as long as the process).
UserTable& user_table();

// Clears every slot (start-up).
void user_table_reset();

// 0; -2 when a slot in use has that name; -1 when all slots are in use.
int user_add(const std::string& name, const std::string& password, const std::string& level);
// 0, or -2 when no slot in use has that name.
int user_modify(const std::string& name, const std::string& password, const std::string& level);
// 0, or -2 when no slot in use has that name.
int user_delete(const std::string& name);
// 1 or 0.
int user_exists(const std::string& name);
// Appends one tds:User entry per slot in use, in slot order, to `out`; stops after an entry
// once fewer than 250 bytes of `size` remain. `out` never grows beyond size - 1 bytes.
void user_list(std::string* out, std::size_t size);

}  // namespace nvtd
