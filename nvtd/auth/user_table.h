// The accounts that CreateUsers, DeleteUsers, SetUser and GetUsers work on: those of the
// users file, as authentication reads it (the first line naming an account decides), with
// the file's levels shown as ONVIF's UserLevel. Changes are checked whole before the file is
// rewritten, so a request changes every account it names or none.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace nvtd {

// Why a change is refused (kNone: it was made).
enum class AccountRefusal {
  kNone,
  kNameClash,          // CreateUsers: the name exists, or is named twice
  kNameMissing,        // SetUser, DeleteUsers: no such account (or named twice to delete)
  kNameTooLong,        // over kMaxUserNameLength characters
  kNameEmpty,          // an empty user name
  kValueInvalid,       // a name with ":", "&", "<", ">" or a control character; an unknown
                       // level; a value the request does not spell as plain text
  kPasswordTooLong,    // over kMaxPasswordLength characters
  kPasswordMissing,    // CreateUsers without a password; an empty password
  kLevelAnonymous,     // UserLevel Anonymous
  kLastAdministrator,  // the change would leave no administrator
  kTooManyUsers,       // CreateUsers beyond kMaxAccounts accounts
  kStorage,            // the users file could not be locked, read or written
};

// At most this many accounts are made through CreateUsers and listed by GetUsers.
constexpr std::size_t kMaxAccounts = 64;

// One account as GetUsers shows it; level is "Administrator", "Operator", "User", or
// "Anonymous" for any other level of the file (such an account may call only the open
// operations).
struct Account {
  std::string name;
  std::string level;
};

// One User entry of a request: level as ONVIF's UserLevel text, password decoded (absent
// when the entry has none: SetUser then keeps the account's password).
struct AccountEntry {
  std::string name;
  std::optional<std::string> password;
  std::string level;
};

// The users-file level ("administrator", ...) for an ONVIF UserLevel, or "" when none.
std::string file_level(const std::string& user_level);

// The accounts of the file's lines, in file order, one per name; lines with no name or a
// name authentication never matches (over kMaxUserNameLength) are passed over.
std::vector<Account> accounts_of(const std::vector<std::string>& lines);

// The changes over the file's lines: on kNone the lines hold the change, otherwise they are
// as they were.
AccountRefusal create_in(std::vector<std::string>& lines, const std::vector<AccountEntry>& add);
AccountRefusal set_in(std::vector<std::string>& lines, const std::vector<AccountEntry>& change);
AccountRefusal delete_in(std::vector<std::string>& lines, const std::vector<std::string>& names);

// The same over the users file itself (read, changed and rewritten under its lock), and the
// list of its accounts (at most kMaxAccounts).
AccountRefusal create_accounts(const std::vector<AccountEntry>& add);
AccountRefusal set_accounts(const std::vector<AccountEntry>& change);
AccountRefusal delete_accounts(const std::vector<std::string>& names);
std::vector<Account> list_accounts();

}  // namespace nvtd
