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

// The head must arrive within this many bytes: room for an Authorization line with Digest
// credentials (SHA-256 responses are 64 characters) beside the usual headers.
inline constexpr size_t kHeadLimit = 2048;
inline constexpr int32_t kMaxContentLength = 50000;

// What a usable request head says. Absent lines leave their field empty.
struct RequestHead {
  std::string method;
  std::optional<std::string> uri;
  std::optional<std::string> content_type;
  std::string content_length;  // a usable head always has this line
  std::optional<std::string> soap_action;
  std::optional<std::string> authorization;
  std::string remainder;  // bytes after the blank line
};

// Parses received bytes (at most kHeadLimit): the head must end with a blank line, its first
// line begin with "POST" and it must carry a Content-Length line. Returns 0 or -1 (unusable).
int parse_request_head(std::string_view received, RequestHead* head);

// A server-mode request with the head's values (the body is still to be read).
Request request_from_head(const RequestHead& head);

// Collects one server-mode request from its connection's bytes as they arrive: the head until
// the blank line has come or kHeadLimit bytes are in, then as many body bytes as its
// Content-Length asks (none when that length is bogus: read_content refuses it). Bytes beyond
// the body are never taken.
class RequestAssembler {
 public:
  enum class State {
    kHead,          // the head is still arriving
    kBody,          // the head is usable, body bytes are still missing
    kComplete,      // the request can be dispatched (its body may be cut short by end())
    kUnusableHead,  // the head is unusable or ended early ("process header fail")
  };
  State state() const { return state_; }
  // How many bytes the next read may bring (0 unless kHead or kBody).
  size_t wanted() const;
  // Takes bytes read from the connection (at most wanted()).
  void add(std::string_view bytes);
  // The connection ended or its time is up: a head becomes unusable, a body ends where it is.
  void end();
  const RequestHead& head() const { return head_; }
  // The body bytes received so far (the request's "already" for read_content).
  const std::string& body() const { return body_; }

 private:
  State state_ = State::kHead;
  std::string received_;  // the head's bytes while it arrives
  RequestHead head_;
  std::string body_;
  size_t body_length_ = 0;
};

// Reads the body of CONTENT_LENGTH bytes into request->body: the bytes already received
// (after the head) first, the rest from fd. Returns 0, or -1 after the "need content length!"
// / "bogus content length!" message. With timeout_ms >= 0 the whole body must arrive within
// that time (a client dribbling bytes cannot hold the server); what arrived by then is the
// body, as when the peer stops early.
int read_content(int fd, std::string_view already, Request* request, Reply& reply,
                 int timeout_ms = -1);

// A Content-Length value: 1 to kMaxContentLength written in decimal digits only (blanks around
// them allowed), or -1.
int32_t content_length_value(std::string_view text);

// CONTENT_LENGTH checked: its value, or -1 after the message (to standard output in the server
// and relay modes, as a text/plain response in CGI mode). A length of zero, or none, passes (as
// 0) while authentication is on: such an empty request gets the Digest challenge.
int32_t checked_content_length(const Request& request, Reply& reply);

}  // namespace nvtd
