// The accounts over the users file's lines: checks of the request's values, the changes as
// whole-request edits of the lines, and the rule that an administrator always remains.
#include "nvtd/auth/user_table.h"

#include <strings.h>

#include <algorithm>
#include <array>

#include "nvtd/auth/useradd.h"
#include "nvtd/auth/users_file.h"
#include "nvtd/auth/users_file_update.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

struct LevelName {
  const char* onvif;
  const char* file;
};
constexpr std::array<LevelName, 3> kLevels = {
    {{"Administrator", "administrator"}, {"Operator", "operator"}, {"User", "user"}}};

std::string onvif_level(const std::string& level) {
  for (const LevelName& l : kLevels) {
    if (strcasecmp(level.c_str(), l.file) == 0) return l.onvif;
  }
  return "Anonymous";
}

std::string name_of(const std::string& line) {
  return parse_users_line(line).name;
}

// Index of the first line naming the account, or -1.
int first_line_of(const std::vector<std::string>& lines, const std::string& name) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!name.empty() && name_of(lines[i]) == name) return int(i);
  }
  return -1;
}

// Removes every line naming the account after line `keep` (-1: all of them).
void drop_lines_of(std::vector<std::string>& lines, const std::string& name, int keep) {
  for (std::size_t i = lines.size(); i-- > std::size_t(keep + 1);) {
    if (name_of(lines[i]) == name) lines.erase(lines.begin() + std::ptrdiff_t(i));
  }
}

std::size_t administrators(const std::vector<std::string>& lines) {
  std::vector<Account> accounts = accounts_of(lines);
  return std::size_t(std::count_if(accounts.begin(), accounts.end(),
                                   [](const Account& a) { return a.level == "Administrator"; }));
}

AccountRefusal check_name(const std::string& name) {
  if (name.empty()) return AccountRefusal::kNameEmpty;
  if (name.size() > kMaxUserNameLength) return AccountRefusal::kNameTooLong;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f || c == ':' || c == '&' || c == '<' || c == '>') {
      return AccountRefusal::kValueInvalid;
    }
  }
  return AccountRefusal::kNone;
}

AccountRefusal check_values(const AccountEntry& entry, bool password_required) {
  if (entry.level == "Anonymous") return AccountRefusal::kLevelAnonymous;
  if (file_level(entry.level).empty()) return AccountRefusal::kValueInvalid;
  if (!entry.password) {
    return password_required ? AccountRefusal::kPasswordMissing : AccountRefusal::kNone;
  }
  if (entry.password->empty()) return AccountRefusal::kPasswordMissing;
  if (entry.password->size() > kMaxPasswordLength) return AccountRefusal::kPasswordTooLong;
  return AccountRefusal::kNone;
}

// The account's new line: a new password as useradd writes it, or the old secret kept.
std::optional<std::string> changed_line(const AccountEntry& entry, const std::string& old) {
  std::string level = file_level(entry.level);
  std::string error;
  if (entry.password) return make_useradd_line(entry.name, *entry.password, level, &error);
  UsersLine parsed = parse_users_line(old);
  std::string line = entry.name + ":" + level + ":";
  if (parsed.secret) line += *parsed.secret + ":" + (parsed.flag.empty() ? "" : parsed.flag + ":");
  return line;
}

// The file-level wrapper: runs `edit` over the file's lines under its lock.
template <typename Edit>
AccountRefusal edit_file(Edit edit) {
  AccountRefusal refusal = AccountRefusal::kNone;
  int rc = update_users_file([&](std::vector<std::string>& lines) {
    refusal = edit(lines);
    return refusal == AccountRefusal::kNone ? 0 : 1;
  });
  return rc < 0 ? AccountRefusal::kStorage : refusal;
}

}  // namespace

std::string file_level(const std::string& user_level) {
  for (const LevelName& l : kLevels) {
    if (user_level == l.onvif) return l.file;
  }
  return "";
}

std::vector<Account> accounts_of(const std::vector<std::string>& lines) {
  std::vector<Account> accounts;
  for (const std::string& text : lines) {
    UsersLine line = parse_users_line(text);
    if (line.name.empty() || line.name.size() > kMaxUserNameLength) continue;
    auto same = [&](const Account& a) { return a.name == line.name; };
    if (std::any_of(accounts.begin(), accounts.end(), same)) continue;
    accounts.push_back(Account{line.name, onvif_level(line.level)});
  }
  return accounts;
}

AccountRefusal create_in(std::vector<std::string>& lines, const std::vector<AccountEntry>& add) {
  std::vector<std::string> next = lines;
  for (const AccountEntry& entry : add) {
    AccountRefusal refusal = check_name(entry.name);
    if (refusal == AccountRefusal::kNone) refusal = check_values(entry, true);
    if (refusal != AccountRefusal::kNone) return refusal;
    if (first_line_of(next, entry.name) >= 0) return AccountRefusal::kNameClash;
    std::optional<std::string> line = changed_line(entry, "");
    if (!line) return AccountRefusal::kStorage;
    next.push_back(*line);
  }
  if (accounts_of(lines).size() + add.size() > kMaxAccounts) return AccountRefusal::kTooManyUsers;
  lines = std::move(next);
  return AccountRefusal::kNone;
}

AccountRefusal set_in(std::vector<std::string>& lines, const std::vector<AccountEntry>& change) {
  for (const AccountEntry& entry : change) {
    if (first_line_of(lines, entry.name) < 0) return AccountRefusal::kNameMissing;
  }
  std::vector<std::string> next = lines;
  for (const AccountEntry& entry : change) {
    AccountRefusal refusal = check_values(entry, false);
    if (refusal != AccountRefusal::kNone) return refusal;
    int i = first_line_of(next, entry.name);
    std::optional<std::string> line = changed_line(entry, next[std::size_t(i)]);
    if (!line) return AccountRefusal::kStorage;
    next[std::size_t(i)] = *line;
    drop_lines_of(next, entry.name, i);
  }
  if (administrators(lines) > 0 && administrators(next) == 0) {
    return AccountRefusal::kLastAdministrator;
  }
  lines = std::move(next);
  return AccountRefusal::kNone;
}

AccountRefusal delete_in(std::vector<std::string>& lines, const std::vector<std::string>& names) {
  std::vector<std::string> next = lines;
  for (const std::string& name : names) {
    if (first_line_of(next, name) < 0) return AccountRefusal::kNameMissing;
    drop_lines_of(next, name, -1);
  }
  if (administrators(lines) > 0 && administrators(next) == 0) {
    return AccountRefusal::kLastAdministrator;
  }
  lines = std::move(next);
  return AccountRefusal::kNone;
}

AccountRefusal create_accounts(const std::vector<AccountEntry>& add) {
  AccountRefusal refusal =
      edit_file([&](std::vector<std::string>& l) { return create_in(l, add); });
  if (refusal == AccountRefusal::kNone) {
    for (const AccountEntry& e : add) trace("created user %s\n", e.name.c_str());
  }
  return refusal;
}

AccountRefusal set_accounts(const std::vector<AccountEntry>& change) {
  AccountRefusal refusal =
      edit_file([&](std::vector<std::string>& l) { return set_in(l, change); });
  if (refusal == AccountRefusal::kNone) {
    for (const AccountEntry& e : change) trace("modified user %s\n", e.name.c_str());
  }
  return refusal;
}

AccountRefusal delete_accounts(const std::vector<std::string>& names) {
  AccountRefusal refusal =
      edit_file([&](std::vector<std::string>& l) { return delete_in(l, names); });
  if (refusal == AccountRefusal::kNone) {
    for (const std::string& name : names) trace("deleted user %s\n", name.c_str());
  }
  return refusal;
}

std::vector<Account> list_accounts() {
  std::vector<std::string> lines;
  read_users_lines(&lines);
  std::vector<Account> accounts = accounts_of(lines);
  if (accounts.size() > kMaxAccounts) accounts.resize(kMaxAccounts);
  return accounts;
}

}  // namespace nvtd
