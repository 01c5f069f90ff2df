// A test tool: drives the discovery controls from standard input, one command a line, so
// the end-to-end tests can stop and start discovery inside the sandbox (sandbox only).
//   start PORT | stop | hello | cancel | set SCOPE | quit
// Each command answers one line: "ok <command> <milliseconds it took>".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "nvtd/core/process_state.h"
#include "nvtd/discovery/discovery_thread.h"
#include "nvtd/discovery/scopes.h"

int main() {
  nvtd::Config settings;
  settings.server = true;  // traces on standard output, as in the server mode
  nvtd::set_config(settings);
  setvbuf(stdout, nullptr, _IOLBF, 0);
  nvtd::scopes_init();
  std::string line;
  while (std::getline(std::cin, line)) {
    auto start = std::chrono::steady_clock::now();
    std::string command = line.substr(0, line.find(' '));
    std::string argument = line.size() > command.size() ? line.substr(command.size() + 1) : "";
    if (command == "start") {
      nvtd::start_discovery_thread(std::atoi(argument.c_str()), true);
    } else if (command == "stop") {
      nvtd::stop_discovery_thread();
    } else if (command == "hello") {
      nvtd::request_hello();
    } else if (command == "cancel") {
      nvtd::cancel_hellos();
    } else if (command == "set") {
      nvtd::scope_set(argument);
    } else if (command == "quit") {
      break;
    } else {
      std::printf("unknown %s\n", command.c_str());
      continue;
    }
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    std::printf("ok %s %lld\n", command.c_str(), static_cast<long long>(took.count()));
  }
  nvtd::stop_discovery_thread();
  return 0;
}
