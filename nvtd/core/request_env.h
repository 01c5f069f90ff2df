// The CGI-style environment that describes the current request. Every mode ends up setting
// REQUEST_METHOD, REQUEST_URI, CONTENT_TYPE, CONTENT_LENGTH and HTTP_SOAPACTION before a request
// is dispatched; this module clears them between requests and decides which names a relay
// client may set.
#pragma once

#include <string_view>

namespace nvtd {

// Removes the five request variables, so that nothing of the previous request survives.
void clear_request_variables();

// True for the names a relay ENV message may set: the five request variables and harmless CGI
// variables (QUERY_STRING, REMOTE_ADDR, SERVER_PORT, HTTP_HOST...). Never PATH, LD_*, IFS...
bool is_relay_variable(std::string_view name);

// Applies a relay ENV text: removes every variable a relay client may set, then sets each
// "NAME=value" line (separated by "\n") whose name is allowed. Prints "got %s\n" for each
// non-empty line. The values are copied into the environment.
void apply_relay_environment(std::string_view text);

// Atoi-like decimal value of a header or variable text: optional blanks and sign, then digits,
// the rest ignored; 0 when there are no digits. Saturates instead of overflowing.
long parse_decimal(const char* text);

}  // namespace nvtd
