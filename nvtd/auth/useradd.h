// The useradd command of the command line: prints one users-file line for a new user,
// "name:level:secret:a:", the secret being the Base64 of the RC2-enciphered password.
#pragma once

#include <optional>
#include <string>

namespace nvtd {

// The users-file line without its newline, or nullopt (and the reason in *error) when the
// account could never authenticate: a name that is empty, longer than the 11 characters a
// request's user name is compared on, or holds ":" or a line break; a password of 32 or
// more characters.
std::optional<std::string> make_useradd_line(const std::string& username,
                                             const std::string& password, const std::string& level,
                                             std::string* error);

// Prints the line and a newline on standard output for username, password and level
// ("administrator", "operator" or "user", already checked by the command-line parser) and
// returns 0; on refusal prints "useradd: <reason>" on standard error and returns -1.
int useradd(const char* username, const char* password, const char* level);

}  // namespace nvtd
