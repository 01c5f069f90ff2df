// The CGI-style values that describe a request: read once from a CGI program's environment,
// or taken from a relay ENV message's "NAME=value" lines. Neither writes the environment.
#pragma once

#include <string>
#include <string_view>

#include "nvtd/core/request.h"

namespace nvtd {

// REQUEST_METHOD, REQUEST_URI, CONTENT_TYPE, CONTENT_LENGTH, HTTP_SOAPACTION, REMOTE_ADDR and
// HTTP_AUTHORIZATION of this process's environment (a CGI program's request).
Request request_from_environment();

// A relay ENV text: each "NAME=value" line (separated by "\n") naming one of the seven request
// variables sets that value; other names (PATH, LD_*, IFS, QUERY_STRING...) are ignored.
// Prints "got %s\n" for each non-empty line (HTTP_AUTHORIZATION without its value). An
// embedded NUL ends a value.
Request request_from_relay_environment(std::string_view text);

// The ENV text as traces show it: the value of HTTP_AUTHORIZATION (credentials) replaced by
// "...".
std::string env_text_for_trace(std::string_view text);

}  // namespace nvtd
