// The user operations of the device service. Requests name users in repeated User elements;
// each pass walks them from the front of the body part, reading values from the current
// position to the end of the body and stepping behind each entry's end tag.
#include "nvtd/device/users.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "nvtd/core/element_reader.h"
#include "nvtd/core/faults.h"
#include "nvtd/core/process_state.h"
#include "nvtd/core/user_table.h"
#include "nvtd/core/writers.h"
#include "nvtd/device/network_reply.h"

namespace nvtd {
namespace {

constexpr std::size_t kField = 32;  // each value up to 31 characters

// Offset just behind the end tag of the first element with local name `name` at or after
// `from` ("</User>" or "</prefix:User>"), or npos.
std::size_t behind_end_tag(std::string_view text, std::size_t from, std::string_view name) {
  for (std::size_t pos = from;;) {
    std::size_t match = text.find(name, pos);
    if (match == std::string_view::npos) return match;
    std::size_t after = match + name.size();
    pos = after;
    if (after >= text.size() || text[after] != '>' || match == 0) continue;
    if (text[match - 1] == '/') return after + 1;
    if (text[match - 1] != ':') continue;
    std::size_t open = text.rfind('<', match);
    if (open != std::string_view::npos && open + 1 < match && text[open + 1] == '/' &&
        text.substr(open + 2, match - open - 2).find_first_of("<> ") == std::string_view::npos) {
      return after + 1;
    }
  }
}

// One User entry: its values and the offset just behind it.
struct UserEntry {
  std::string name, password, level;
  std::size_t next = std::string_view::npos;
};

bool read_entry(std::string_view text, std::size_t pos, UserEntry* entry) {
  std::string_view rest = text.substr(pos);
  auto name = element_text(rest, "Username", kField);
  auto password = element_text(rest, "Password", kField);
  auto level = element_text(rest, "UserLevel", kField);
  if (!name || !password || !level) return false;
  entry->name = *name;
  entry->password = *password;
  entry->level = *level;
  std::size_t behind = behind_end_tag(text, pos, "User");
  entry->next = behind;
  return true;
}

using UserChange = int (*)(const std::string& name, const std::string& password,
                           const std::string& level);

// Walks the User entries while more than 50 bytes remain and hands each to change; at the
// first entry change answers -2 for, refused is answered and false returned.
bool apply_to_entries(std::string_view body, UserChange change, Fault refused, Reply& reply) {
  std::size_t pos = 0;
  while (body.size() - pos > 50) {
    UserEntry entry;
    if (!read_entry(body, pos, &entry)) break;
    trace("found user %s password %s level %s\n", entry.name.c_str(), entry.password.c_str(),
          entry.level.c_str());
    if (change(entry.name, entry.password, entry.level) == -2) {
      send_catalogue_fault(reply, refused);
      return false;
    }
    if (entry.next == std::string_view::npos) break;
    pos = entry.next;
  }
  return true;
}

// The Username values from `text` on, each read at the current position while more than
// `bound` bytes remain; the position steps behind each Username's end tag.
std::vector<std::string> user_names(std::string_view text, std::size_t bound) {
  std::vector<std::string> names;
  std::size_t pos = 0;
  while (text.size() - pos > bound) {
    ElementSpan span;
    if (!find_element(text.substr(pos), "Username", &span)) break;
    names.push_back(std::string(text.substr(
        pos + span.value_begin, std::min(span.value_end - span.value_begin, kField - 1))));
    pos += span.end_match + std::string_view("Username").size();
  }
  return names;
}

}  // namespace

int handle_get_users(const Request&, Reply& reply) {
  std::string list;
  user_list(&list, 2000);
  send_body(reply, 0,
            "<SOAP-ENV:Body><tds:GetUsersResponse>"
            "<tds:User><tt:Username>admin</tt:Username><tt:Password></tt:Password>"
            "<tt:UserLevel>Administrator</tt:UserLevel></tds:User>"
            "<tds:User><tt:Username>guest</tt:Username><tt:Password></tt:Password>"
            "<tt:UserLevel>User</tt:UserLevel></tds:User>"
            "%s</tds:GetUsersResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>",
            list.c_str());
  return 0;
}

int handle_create_users(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  trace("enter %s with %d\n", __func__, int(body.size()));
  // A user the full table cannot take (-1) is passed over silently.
  if (!apply_to_entries(body, user_add, Fault::kUsernameClash, reply)) return 0;
  send_empty_device_response(reply, "CreateUsers");
  return 0;
}

int handle_delete_users(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  std::vector<std::string> names = user_names(body, 20);
  for (const std::string& name : names) {
    trace("found user %s\n", name.c_str());
    if (name == "admin" || name == "guest") {
      send_catalogue_fault(reply, Fault::kFixedUser);
      return 0;
    }
    if (!user_exists(name)) {
      send_catalogue_fault(reply, Fault::kUsernameMissing);
      return 0;
    }
  }
  for (const std::string& name : names) {
    if (user_delete(name) == -2) {
      send_catalogue_fault(reply, Fault::kUsernameMissing);
      return 0;
    }
  }
  send_empty_device_response(reply, "DeleteUsers");
  return 0;
}

int handle_set_user(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  trace("enter %s\n", __func__);
  // Every user named must exist before anything changes.
  for (const std::string& name : user_names(body, 50)) {
    if (!user_exists(name)) {
      send_catalogue_fault(reply, Fault::kUsernameMissing);
      return 0;
    }
  }
  if (!apply_to_entries(body, user_modify, Fault::kUsernameMissing, reply)) return 0;
  send_empty_device_response(reply, "SetUser");
  return 0;
}

}  // namespace nvtd
