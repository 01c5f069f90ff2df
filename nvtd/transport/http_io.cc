// Request head parsing (server mode) and body reading (every mode).
#include "nvtd/transport/http_io.h"

#include <errno.h>
#include <poll.h>
#include <strings.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "nvtd/core/log_limiter.h"
#include "nvtd/core/process_state.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

namespace {

// A header line is one of these when it begins with the whole name and its colon (any case).
// Its value starts at a fixed offset: one character after the colon is skipped.
struct HeaderRule {
  std::string_view prefix;
  size_t value_offset;
};
constexpr HeaderRule kContentType = {"Content-Type:", 14};
constexpr HeaderRule kContentLength = {"Content-Length:", 16};
constexpr HeaderRule kSoapAction = {"SOAPAction:", 12};
constexpr HeaderRule kAuthorization = {"Authorization:", 15};

bool line_matches(std::string_view line, const HeaderRule& rule) {
  return line.size() >= rule.prefix.size() &&
         strncasecmp(line.data(), rule.prefix.data(), rule.prefix.size()) == 0;
}

std::string value_of(std::string_view line, const HeaderRule& rule) {
  if (line.size() <= rule.value_offset) return std::string();
  return std::string(line.substr(rule.value_offset));
}

void content_error(Reply& reply, const char* message) {
  if (reply.mode() != RunMode::kCgi) {
    printf("%s", message);
    return;
  }
  send_plain_error(reply, "%s\n", message);
}

// A Content-Length of zero: zeros only, blanks around them allowed.
bool zero_length(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return false;
  text = text.substr(begin, text.find_last_not_of(" \t") + 1 - begin);
  return text.find_first_not_of('0') == std::string_view::npos;
}

long long now_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

}  // namespace

int parse_request_head(std::string_view received, RequestHead* head) {
  size_t blank = received.find("\r\n\r\n");
  if (blank == std::string_view::npos) return -1;
  RequestHead h;
  h.remainder = std::string(received.substr(blank + 4));
  std::string_view text = received.substr(0, blank);
  bool first = true;
  bool has_length = false;
  while (!text.empty()) {
    size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty()) continue;
    if (first) {
      if (line.substr(0, 4) != "POST") return -1;
      first = false;
      size_t w1 = line.find(' ');
      h.method = std::string(line.substr(0, w1));
      if (w1 == std::string_view::npos) continue;
      std::string_view rest = line.substr(w1);
      size_t start = rest.find_first_not_of(' ');
      if (start == std::string_view::npos) continue;
      rest = rest.substr(start);
      h.uri = std::string(rest.substr(0, rest.find(' ')));
    } else if (line_matches(line, kContentType)) {
      h.content_type = value_of(line, kContentType);
    } else if (line_matches(line, kContentLength)) {
      h.content_length = value_of(line, kContentLength);
      has_length = true;
    } else if (line_matches(line, kSoapAction)) {
      h.soap_action = value_of(line, kSoapAction);
    } else if (line_matches(line, kAuthorization)) {
      h.authorization = value_of(line, kAuthorization);
    }
  }
  if (first || !has_length) return -1;
  *head = std::move(h);
  return 0;
}

Request request_from_head(const RequestHead& head) {
  Request request;
  request.mode = RunMode::kServer;
  // Values end at an embedded NUL, as they did when they were C strings.
  auto text = [](const std::string& value) { return std::string(value.c_str()); };
  request.method = text(head.method);
  if (head.uri) request.uri = text(*head.uri);
  if (head.content_type) request.content_type = text(*head.content_type);
  request.content_length = text(head.content_length);
  if (head.soap_action) request.soap_action = text(*head.soap_action);
  if (head.authorization) request.authorization = text(*head.authorization);
  return request;
}

size_t RequestAssembler::wanted() const {
  if (state_ == State::kHead) return kHeadLimit - received_.size();
  if (state_ == State::kBody) return body_length_ - body_.size();
  return 0;
}

void RequestAssembler::add(std::string_view bytes) {
  if (state_ == State::kBody) {
    body_.append(bytes.substr(0, wanted()));
    if (body_.size() == body_length_) state_ = State::kComplete;
    return;
  }
  if (state_ != State::kHead) return;
  received_.append(bytes.substr(0, wanted()));
  if (received_.size() < kHeadLimit && received_.find("\r\n\r\n") == std::string::npos) return;
  if (parse_request_head(received_, &head_) < 0) {
    state_ = State::kUnusableHead;
    return;
  }
  received_.clear();
  int32_t length = content_length_value(head_.content_length.c_str());
  if (length < 0) {
    state_ = State::kComplete;  // read_content refuses the length
    return;
  }
  body_length_ = size_t(length);
  body_ = head_.remainder.substr(0, body_length_);
  state_ = body_.size() == body_length_ ? State::kComplete : State::kBody;
}

void RequestAssembler::end() {
  if (state_ == State::kHead) state_ = State::kUnusableHead;
  if (state_ == State::kBody) state_ = State::kComplete;
}

int32_t content_length_value(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.empty()) return -1;
  int64_t length = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    length = length * 10 + (c - '0');
    if (length > kMaxContentLength) return -1;
  }
  return length < 1 ? -1 : int32_t(length);
}

int32_t checked_content_length(const Request& request, Reply& reply) {
  // An empty request is how HTTP clients (curl --digest) ask for the Digest challenge before
  // they send a body (CGI leaves CONTENT_LENGTH unset for it): with authentication on it goes
  // on to dispatch, which answers 401.
  if (!request.content_length && !config().no_auth) return 0;
  if (!request.content_length) {
    content_error(reply, "need content length!");
    return -1;
  }
  int32_t length = content_length_value(*request.content_length);
  if (length < 0 && !config().no_auth && zero_length(*request.content_length)) return 0;
  if (length < 0) {
    content_error(reply, "bogus content length!");
    return -1;
  }
  return length;
}

// Waits until fd is readable before deadline (ms, or < 0 for no limit): false on time-out.
static bool readable_before(int fd, long long deadline) {
  if (deadline < 0) return true;
  for (;;) {
    long long left = deadline - now_ms();
    if (left <= 0) return false;
    pollfd p = {fd, POLLIN, 0};
    int r = poll(&p, 1, int(left));
    if (r < 0 && errno == EINTR) {
      if (StopRequested) return false;
      continue;
    }
    return r != 0;  // readable, hung up, or an error the read reports
  }
}

int read_content(int fd, std::string_view already, Request* request, Reply& reply, int timeout_ms) {
  const long long deadline = timeout_ms < 0 ? -1 : now_ms() + timeout_ms;
  int32_t length = checked_content_length(*request, reply);
  if (length < 0) return -1;
  std::string& body = request->body;
  body.assign(size_t(length), '\0');
  size_t received = already.size() < size_t(length) ? already.size() : size_t(length);
  body.replace(0, received, already.substr(0, received));
  while (received < size_t(length)) {
    ssize_t n =
        readable_before(fd, deadline) ? read(fd, &body[received], size_t(length) - received) : 0;
    if (n < 0 && errno == EINTR && !StopRequested) continue;
    if (n <= 0) {
      trace_complaint(false, request->remote_addr.value_or(""), "%s: %d bytes left unread!\n",
                      "read_content", int(size_t(length) - received));
      break;
    }
    received += size_t(n);
  }
  // The body ends after what arrived, so no reader looks past it.
  body.resize(received);
  return 0;
}

}  // namespace nvtd
