// The useradd command of the command line: prints one users-file line for a new user.
#pragma once

namespace nvtd {

// Prints the users-file line for username, password and level ("administrator", "operator" or
// "user", already checked by the command-line parser) on standard output.
void useradd(const char* username, const char* password, const char* level);

}  // namespace nvtd
