// Five user slots with first-free-slot allocation.
#include "nvtd/core/user_table.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "nvtd/core/process_state.h"
#include "nvtd/core/xml_text.h"

namespace nvtd {
namespace {

int find_slot(const std::string& name) {
  UserTable& table = user_table();
  for (int i = 0; i < kUserSlots; ++i) {
    if (table[i].in_use && table[i].name == name) return i;
  }
  return -1;
}

}  // namespace

UserTable& user_table() {
  static UserTable table;
  return table;
}

void user_table_reset() {
  for (UserSlot& slot : user_table()) slot = UserSlot{};
}

int user_add(const std::string& name, const std::string& password, const std::string& level) {
  if (find_slot(name) >= 0) return -2;
  UserTable& table = user_table();
  for (int i = 0; i < kUserSlots; ++i) {
    if (table[i].in_use) continue;
    table[i] = UserSlot{name, password, level, true};
    trace("created user %s (%d)\n", name.c_str(), i);
    return 0;
  }
  return -1;
}

int user_modify(const std::string& name, const std::string& password, const std::string& level) {
  int i = find_slot(name);
  if (i < 0) return -2;
  UserSlot& slot = user_table()[i];
  slot.password = password;
  slot.level = level;
  trace("modified user %s (%d)\n", name.c_str(), i);
  return 0;
}

int user_delete(const std::string& name) {
  int i = find_slot(name);
  if (i < 0) return -2;
  user_table()[i] = UserSlot{};
  trace("deleted user %s (%d)\n", name.c_str(), i);
  return 0;
}

int user_exists(const std::string& name) {
  return find_slot(name) >= 0 ? 1 : 0;
}

void user_list(std::string* out, std::size_t size) {
  if (size == 0) return;
  char entry[512];
  for (const UserSlot& slot : user_table()) {
    if (!slot.in_use) continue;
    int n = std::snprintf(entry, sizeof entry,
                          "<tds:User><tt:Username>%s</tt:Username><tt:Password></tt:Password>"
                          "<tt:UserLevel>%s</tt:UserLevel></tds:User>",
                          xml_safe(slot.name).c_str(), xml_safe(slot.level).c_str());
    if (n < 0) continue;
    std::string_view text(entry, std::min<std::size_t>(n, sizeof entry - 1));
    out->append(text.substr(0, size - 1 - std::min(out->size(), size - 1)));
    if (size - out->size() < 250) break;
  }
}

}  // namespace nvtd
