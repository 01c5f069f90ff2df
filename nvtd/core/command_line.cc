// Command-line parsing of nvtd.
#include "nvtd/core/command_line.h"

#include <cstdio>
#include <cstring>

#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

// A port in decimal, 1..65535; -1 for anything else.
int parse_port(const char* text) {
  if (text == nullptr || *text == '\0' || strlen(text) > 5) return -1;
  int port = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return -1;
    port = port * 10 + (*p - '0');
  }
  return port >= 1 && port <= 65535 ? port : -1;
}

// Whole seconds in decimal, 0..86400; -1 for anything else.
int parse_seconds(const char* text) {
  if (text == nullptr || *text == '\0' || strlen(text) > 5) return -1;
  int seconds = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return -1;
    seconds = seconds * 10 + (*p - '0');
  }
  return seconds <= 86400 ? seconds : -1;
}

bool is_level(const char* word) {
  return strcmp(word, "administrator") == 0 || strcmp(word, "operator") == 0 ||
         strcmp(word, "user") == 0;
}

}  // namespace

void print_usage() {
  printf("params:\n");
  printf("\tuseradd <username> <password> <administrator|operator|user>\n");
}

ParseResult parse_command_line(int argc, const char* const* argv, const CommandLineActions& actions,
                               Config* config) {
  *config = Config();
  if (argc < 2) return ParseResult::kUsage;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (strcmp(arg, "--port") == 0) {
      if (i + 1 >= argc) return ParseResult::kUsage;
      int port = parse_port(argv[++i]);
      if (port < 0) return ParseResult::kUsage;
      config->server = true;
      config->http_port = port;
      printf("running in server mode on port %d\n", config->http_port);
    } else if (strcmp(arg, "--token-window") == 0) {
      if (i + 1 >= argc) return ParseResult::kUsage;
      int seconds = parse_seconds(argv[++i]);
      if (seconds < 0) return ParseResult::kUsage;
      config->token_window = seconds;
    } else if (strcmp(arg, "--noauth") == 0) {
      config->no_auth = true;
      if (config->server || config->persist) printf("running without authentication\n");
    } else if (strcmp(arg, "--verbose") == 0) {
      ++config->verbose;
    } else if (strcmp(arg, "--persist") == 0) {
      if (!actions.start_persist || actions.start_persist() < 0) return ParseResult::kStartupError;
      config->persist = true;
    } else if (strcmp(arg, "useradd") == 0) {
      if (argc - i - 1 < 3 || !is_level(argv[i + 3])) return ParseResult::kUsage;
      if (actions.useradd) actions.useradd(argv[i + 1], argv[i + 2], argv[i + 3]);
      break;  // useradd ends the command line
    } else {
      return ParseResult::kUsage;
    }
  }
  return config->server || config->persist ? ParseResult::kServe : ParseResult::kExit;
}

}  // namespace nvtd
