// The users file that authentication checks against ("/etc/nvtd/users", or
// "/etc/nvtd/.users" when the first cannot be opened): one "name:level:secret:a:" line per
// account, the secret being the Base64 of the RC2-enciphered password.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nvtd {

// Where the users file is looked for; tests point these elsewhere.
extern std::string UsersFilePath;          // "/etc/nvtd/users"
extern std::string UsersFileFallbackPath;  // "/etc/nvtd/.users"

// Passwords hold at most this many characters; a longer one never authenticates.
constexpr std::size_t kMaxPasswordLength = 31;
// Request user names are compared on their first 11 characters; the rest is cut.
constexpr std::size_t kMaxUserNameLength = 11;

// One line split into its non-empty ":"-separated fields.
struct UsersLine {
  std::string name;
  std::string level;
  std::optional<std::string> secret;  // absent when the line has no third field
  std::string flag;                   // "a": the secret is enciphered
};

UsersLine parse_users_line(std::string_view line);

// Reads the users file afresh and finds the first line whose name equals `name`.
// Returns 1 (found), 0 (no such line) or -1 (neither file opens).
int find_users_line(const std::string& name, UsersLine* line);

// The password a line stands for. A line without a secret stands for none; a secret with
// the "a" flag is deciphered; a secret without it is the password in clear. Returns nullopt
// when the line has no usable password (no secret, undecipherable, longer than 31).
std::optional<std::string> users_line_password(const UsersLine& line);

}  // namespace nvtd
