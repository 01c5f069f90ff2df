// One request as its run mode received it: the HTTP or CGI values that describe it and its
// body. Each run mode builds one (CGI from its environment, the relay mode from the ENV
// message, the server mode from the HTTP head) and hands it to dispatch and the handler.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nvtd {

enum class RunMode { kCgi, kRelay, kServer };

struct Request {
  RunMode mode = RunMode::kCgi;
  // The values of REQUEST_METHOD, REQUEST_URI, CONTENT_TYPE, CONTENT_LENGTH and
  // HTTP_SOAPACTION (or the header lines that stand for them); absent when not sent.
  std::optional<std::string> method;
  std::optional<std::string> uri;
  std::optional<std::string> content_type;
  std::optional<std::string> content_length;
  std::optional<std::string> soap_action;
  // The client's address: REMOTE_ADDR in the CGI and relay modes, the connection's peer in
  // server mode; absent when not known.
  std::optional<std::string> remote_addr;
  // The Authorization header's value: HTTP_AUTHORIZATION in the CGI and relay modes (when the
  // web server hands it over), the header line in server mode; absent when not sent.
  std::optional<std::string> authorization;
  // The body as it arrived: at most CONTENT_LENGTH bytes, fewer when the peer ended early.
  std::string body;
  // Where the answer goes when a handler may keep it and answer later from another thread
  // (a held PullMessages): the accepted connection in server mode, the reply FIFO in the
  // relay mode; -1 in CGI mode, whose process ends with the request.
  int connection_fd = -1;

  // The body from its first "Body" on (the SOAP Body element with whatever prefix), or
  // empty when the body has none.
  std::string_view body_part() const;
  // The request URI, or "" when none was sent.
  std::string_view uri_or_empty() const { return uri ? std::string_view(*uri) : ""; }
};

// Atoi-like decimal value of a header or variable text: optional blanks and sign, then digits,
// the rest ignored; 0 when there are no digits. Saturates instead of overflowing.
long parse_decimal(const char* text);

}  // namespace nvtd
