// Request environment: clearing the request variables and applying relay ENV text.
#include "nvtd/core/request_env.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace nvtd {
namespace {

constexpr const char* kRequestVariables[] = {"REQUEST_METHOD", "REQUEST_URI", "CONTENT_TYPE",
                                             "CONTENT_LENGTH", "HTTP_SOAPACTION"};

// Request-describing CGI variables that change nothing but what a handler may read.
constexpr const char* kHarmlessVariables[] = {
    "QUERY_STRING",       "REMOTE_ADDR", "REMOTE_PORT",     "SERVER_PORT",
    "SERVER_NAME",        "SERVER_ADDR", "SERVER_PROTOCOL", "SERVER_SOFTWARE",
    "GATEWAY_INTERFACE",  "SCRIPT_NAME", "PATH_INFO",       "HTTP_HOST",
    "HTTP_USER_AGENT",    "HTTP_ACCEPT", "HTTP_CONNECTION", "HTTP_CONTENT_TYPE",
    "HTTP_CONTENT_LENGTH"};

}  // namespace

void clear_request_variables() {
  for (const char* name : kRequestVariables) unsetenv(name);
}

bool is_relay_variable(std::string_view name) {
  for (const char* allowed : kRequestVariables) {
    if (name == allowed) return true;
  }
  for (const char* allowed : kHarmlessVariables) {
    if (name == allowed) return true;
  }
  return false;
}

void apply_relay_environment(std::string_view text) {
  clear_request_variables();
  for (const char* name : kHarmlessVariables) unsetenv(name);
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty()) continue;
    std::string piece(line);
    printf("got %s\n", piece.c_str());
    size_t eq = piece.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    std::string name = piece.substr(0, eq);
    if (!is_relay_variable(name)) continue;
    // An embedded NUL ends the value, as it would have in the C string.
    std::string value = piece.substr(eq + 1);
    setenv(name.c_str(), value.c_str(), 1);
  }
}

long parse_decimal(const char* text) {
  if (text == nullptr) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    int digit = *p - '0';
    if (value > (LONG_MAX - digit) / 10) {
      value = LONG_MAX;
      break;
    }
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

}  // namespace nvtd
