// The nvtd command line: --port N, --persist, --noauth, --token-window SECONDS, --verbose and
// useradd. It is examined only when REQUEST_METHOD is absent (otherwise the program is a CGI
// program).
#pragma once

#include <functional>

#include "nvtd/core/process_state.h"

namespace nvtd {

enum class ParseResult {
  kServe,         // server or persist is set: go on with start-up
  kExit,          // parsing ended with neither mode set: exit with status 0
  kUsage,         // usage error: print_usage() and exit with status 255
  kStartupError,  // --persist could not set up its FIFO: exit with status 255
};

// The two arguments with effects beyond the flags; tests replace them.
struct CommandLineActions {
  std::function<int()> start_persist;  // 0, or -1 after its message
  std::function<void(const char*, const char*, const char*)> useradd;
};

// Parses argv[1..argc-1] into *config (which starts from the defaults), printing the mode
// traces as it goes.
ParseResult parse_command_line(int argc, const char* const* argv, const CommandLineActions& actions,
                               Config* config);

// "params:" and the useradd line on standard output.
void print_usage();

}  // namespace nvtd
