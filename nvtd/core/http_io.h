// Request input: the HTTP request head in server mode and the body in every mode, read into
// the request.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

inline constexpr size_t kHeadLimit = 500;  // the head must arrive within 500 bytes
inline constexpr int32_t kMaxContentLength = 50000;

// What a usable request head says. Absent lines leave their field empty.
struct RequestHead {
  std::string method;
  std::optional<std::string> uri;
  std::optional<std::string> content_type;
  std::string content_length;  // a usable head always has this line
  std::optional<std::string> soap_action;
  std::string remainder;  // bytes after the blank line
};

// Parses received bytes (at most kHeadLimit): the head must end with a blank line, its first
// line begin with "POST" and it must carry a Content-Length line. Returns 0 or -1 (unusable).
int parse_request_head(std::string_view received, RequestHead* head);

// A server-mode request with the head's values (the body is still to be read).
Request request_from_head(const RequestHead& head);

// Reads the head from a connection until the blank line has arrived or kHeadLimit bytes are
// in, waiting at most timeout_ms in all, and parses it. Returns 0 or -1 (unusable head, read
// error, or timeout).
int read_request_head(int fd, int timeout_ms, RequestHead* head);

// Reads the body of CONTENT_LENGTH bytes into request->body: the bytes already received
// (after the head) first, the rest from fd. Returns 0, or -1 after the "need content length!"
// / "bogus content length!" message. With timeout_ms >= 0 the whole body must arrive within
// that time (a client dribbling bytes cannot hold the server); what arrived by then is the
// body, as when the peer stops early.
int read_content(int fd, std::string_view already, Request* request, Reply& reply,
                 int timeout_ms = -1);

// CONTENT_LENGTH checked: its value, or -1 after the message (to standard output in the server
// and relay modes, as a text/plain response in CGI mode).
int32_t checked_content_length(const Request& request, Reply& reply);

}  // namespace nvtd
