#include "nvtd/transport/http_io.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

#include "nvtd/core/config_test_util.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

class HttpIo : public ::testing::Test {
 protected:
  ScopedConfig scoped_config;
  void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0); }
  void TearDown() override {
    close(fds_[0]);
    if (fds_[1] >= 0) close(fds_[1]);
  }
  void send_peer(const std::string& s) {
    ASSERT_EQ(write(fds_[1], s.data(), s.size()), ssize_t(s.size()));
  }
  void close_peer() {
    close(fds_[1]);
    fds_[1] = -1;
  }
  int fds_[2] = {-1, -1};
  RequestHead head_;
  Request req_;
  Reply reply_{-1, RunMode::kCgi};
};

TEST(RequestHead, ParsesMethodUriAndTheThreeHeaders) {
  RequestHead h;
  ASSERT_EQ(parse_request_head("POST /onvif/device_service HTTP/1.1\r\nHost: x\r\n"
                               "content-type: application/soap+xml\r\nContent-Length: 12\r\n"
                               "SOAPAction: \"urn:GetScopes\"\r\n"
                               "authorization: Digest username=\"a\"\r\n\r\n<body>",
                               &h),
            0);
  EXPECT_EQ(h.method, "POST");
  EXPECT_EQ(h.uri.value_or(""), "/onvif/device_service");
  EXPECT_EQ(h.content_type.value_or(""), "application/soap+xml");
  EXPECT_EQ(h.content_length, "12");
  EXPECT_EQ(h.soap_action.value_or(""), "\"urn:GetScopes\"");
  EXPECT_EQ(h.authorization.value_or(""), "Digest username=\"a\"");
  EXPECT_EQ(request_from_head(h).authorization.value_or(""), "Digest username=\"a\"");
  EXPECT_EQ(h.remainder, "<body>");
}

TEST(RequestHead, UnusableHeads) {
  RequestHead h;
  EXPECT_EQ(parse_request_head("GET / HTTP/1.0\r\nContent-Length: 3\r\n\r\n", &h), -1);
  EXPECT_EQ(parse_request_head("POST / HTTP/1.0\r\nHost: x\r\n\r\n", &h), -1);
  EXPECT_EQ(parse_request_head("POST / HTTP/1.0\r\nContent-Length: 3\r\n", &h), -1);
  EXPECT_EQ(parse_request_head("\r\n\r\n", &h), -1);
  EXPECT_EQ(parse_request_head("", &h), -1);
}

TEST(RequestHead, HeaderNamesAreMatchedWhole) {
  RequestHead h;
  for (const char* line : {"Content-LengtZ: 5", "Content-Lengthy: 5", "Content-Length 5"}) {
    EXPECT_EQ(parse_request_head(std::string("POST / HTTP/1.0\r\n") + line + "\r\n\r\n", &h), -1)
        << line;
  }
  ASSERT_EQ(parse_request_head("POST / HTTP/1.0\r\nContent-Typed: a\r\nSOAPActions: b\r\n"
                               "Authorizations: c\r\nContent-Length: 5\r\n\r\n",
                               &h),
            0);
  EXPECT_FALSE(h.content_type || h.soap_action || h.authorization);
}

TEST(RequestHead, ValuesStartAtAFixedOffset) {
  RequestHead h;
  ASSERT_EQ(parse_request_head("POST / HTTP/1.0\r\nContent-Length:42\r\n\r\n", &h), 0);
  EXPECT_EQ(h.content_length, "2");  // one character after the colon is always skipped
  ASSERT_EQ(parse_request_head("POST\r\nCONTENT-LENGTH: 7\r\nContent-Type:\r\n\r\n", &h), 0);
  EXPECT_EQ(h.content_length, "7");
  EXPECT_FALSE(h.uri.has_value());
  EXPECT_EQ(h.content_type.value_or("?"), "");  // a line shorter than the offset has no value
}

TEST_F(HttpIo, ARequestTakesOnlyItsOwnHeadsValues) {
  RequestHead h;
  ASSERT_EQ(parse_request_head("POST / HTTP/1.0\r\nContent-Length: 3\r\n\r\n", &h), 0);
  Request r = request_from_head(h);
  EXPECT_EQ(r.mode, RunMode::kServer);
  EXPECT_FALSE(r.soap_action || r.content_type);
  EXPECT_EQ(r.method.value_or(""), "POST");
  EXPECT_EQ(r.uri.value_or(""), "/");
  EXPECT_EQ(r.content_length.value_or(""), "3");
}

TEST(RequestAssembler, AHeadSplitAcrossPiecesIsAssembledAndTheBodyFollows) {
  using State = RequestAssembler::State;
  RequestAssembler a;
  EXPECT_EQ(a.wanted(), kHeadLimit);
  a.add("POST /onvif/device_service HTTP/1.1\r\nContent-Le");
  EXPECT_EQ(a.state(), State::kHead);
  a.add("ngth: 10\r\n\r\n0123");
  EXPECT_EQ(a.state(), State::kBody);
  EXPECT_EQ(a.head().uri.value_or(""), "/onvif/device_service");
  EXPECT_EQ(a.body(), "0123");
  EXPECT_EQ(a.wanted(), 6u);
  a.add("456789POST / HTTP/1.0");  // what follows the body is not taken
  EXPECT_EQ(a.state(), State::kComplete);
  EXPECT_EQ(a.body(), "0123456789");
  EXPECT_EQ(a.wanted(), 0u);
}

TEST(RequestAssembler, HowARequestEnds) {
  using State = RequestAssembler::State;
  struct Case {
    std::string bytes;
    bool ended;  // the connection closed or its time ran out after the bytes
    State state;
    std::string body;
  };
  const Case cases[] = {
      {"POST / HTTP/1.0\r\nContent-Length: 3\r\n\r\nabcdef", false, State::kComplete, "abc"},
      {"POST / HTTP/1.0\r\nContent-Length: 20\r\n\r\nshort", true, State::kComplete, "short"},
      {"POST / HTTP/1.0\r\nContent-Length: 20\r\n\r\nshort", false, State::kBody, "short"},
      {"POST / HTTP/1.0\r\nContent-Length: 3\r\n", true, State::kUnusableHead, ""},
      {"POST / HTTP/1.0\r\n", false, State::kHead, ""},
      {"", true, State::kUnusableHead, ""},
      {"GET / HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc", false, State::kUnusableHead, ""},
      // Longer than kHeadLimit without a blank line in it.
      {"POST / HTTP/1.0\r\nX-Pad: " + std::string(kHeadLimit + 100, 'p') +
           "\r\nContent-Length: 1\r\n\r\n",
       false, State::kUnusableHead, ""},
      // A bogus length needs no body: read_content refuses it.
      {"POST / HTTP/1.0\r\nContent-Length: 3x\r\n\r\n", false, State::kComplete, ""},
  };
  for (const Case& c : cases) {
    RequestAssembler a;
    // The bytes come as reads would bring them: never more than asked for.
    std::string_view rest = c.bytes;
    while (!rest.empty() && a.wanted() > 0) {
      size_t n = std::min(rest.size(), a.wanted());
      a.add(rest.substr(0, n));
      rest.remove_prefix(n);
    }
    if (c.ended) a.end();
    EXPECT_EQ(a.state(), c.state) << c.bytes;
    EXPECT_EQ(a.body(), c.body) << c.bytes;
  }
}

TEST_F(HttpIo, ExtraHeadBytesBeyondTheLengthAreNotUsed) {
  req_.content_length = "3";
  ASSERT_EQ(read_content(fds_[0], "abcdefgh", &req_, reply_), 0);
  EXPECT_EQ(req_.body, "abc");
}

TEST_F(HttpIo, ABodyCutShortEndsAfterWhatArrived) {
  scoped_config.set(&Config::server, true);
  StdoutCapture traces;
  req_.content_length = "20";
  send_peer("short");
  close_peer();
  ASSERT_EQ(read_content(fds_[0], "", &req_, reply_), 0);
  EXPECT_EQ(traces.take(), "read_content: 15 bytes left unread!\n");
  EXPECT_EQ(req_.body, "short");
  EXPECT_EQ(req_.body.size(), 5u);
}

TEST_F(HttpIo, ADribblingBodyEndsAtTheDeadline) {
  scoped_config.set(&Config::server, true);
  StdoutCapture traces;
  req_.content_length = "100";
  // A byte every 50 ms: each read is quick, the whole would take 5 s.
  std::thread peer([fd = fds_[1]] {
    for (int i = 0; i < 100; ++i) {
      if (send(fd, "x", 1, MSG_NOSIGNAL) != 1) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(read_content(fds_[0], "", &req_, reply_, 300), 0);
  const auto took = std::chrono::steady_clock::now() - start;
  shutdown(fds_[0], SHUT_RDWR);  // the peer's next write fails, so it stops
  peer.join();
  EXPECT_LT(took, std::chrono::seconds(3));
  EXPECT_GT(int(req_.body.size()), 0);
  EXPECT_LT(int(req_.body.size()), 100);
  EXPECT_EQ(req_.body, std::string(size_t(int(req_.body.size())), 'x'));
  EXPECT_EQ(traces.take(), "read_content: " + std::to_string(100 - int(req_.body.size())) +
                               " bytes left unread!\n");
}

TEST_F(HttpIo, ABodyWithinTheDeadlineIsReadWhole) {
  req_.content_length = "6";
  std::thread peer([this] {
    send_peer("abc");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    send_peer("def");
  });
  ASSERT_EQ(read_content(fds_[0], "", &req_, reply_, 5000), 0);
  peer.join();
  EXPECT_EQ(req_.body, "abcdef");
}

TEST_F(HttpIo, BogusContentLengthsAreRefused) {
  scoped_config.set(&Config::no_auth, true);  // with authentication an empty request passes
  for (const char* bad :
       {"0", "50001", "-5", "abc", "303abc", "+5", "3 3", "", " ", "99999999999999999999"}) {
    req_.content_length = bad;
    OutputCapture cap;
    EXPECT_EQ(read_content(fds_[0], "", &req_, cap.reply()), -1) << bad;
    EXPECT_EQ(cap.take(), "Content-Type: text/plain\r\n\r\nbogus content length!\n") << bad;
  }
  const std::pair<const char*, int32_t> good[] = {{"50000", 50000}, {" 7\t", 7}, {"0012", 12}};
  for (const auto& [text, value] : good) EXPECT_EQ(content_length_value(text), value) << text;
  req_.content_length = "50000";
  send_peer(std::string(50000, 'x'));
  EXPECT_EQ(read_content(fds_[0], "", &req_, reply_), 0);
  EXPECT_EQ(req_.body.size(), 50000u);
}

TEST_F(HttpIo, AnEmptyRequestPassesOnlyWhileAuthenticationIsOn) {
  // It goes on to get the Digest challenge (curl --digest asks so before it sends its body).
  for (bool no_auth : {false, true}) {
    scoped_config.set(&Config::no_auth, no_auth);
    for (const char* length : {"0", " 00\t", static_cast<const char*>(nullptr)}) {
      req_.content_length.reset();
      if (length != nullptr) req_.content_length = length;
      req_.body = "old";
      OutputCapture cap;
      EXPECT_EQ(read_content(fds_[0], "", &req_, cap.reply()), no_auth ? -1 : 0) << length;
      EXPECT_EQ(req_.body, no_auth ? "old" : "") << length;
      EXPECT_EQ(cap.take().empty(), !no_auth) << length;
    }
  }
}

TEST_F(HttpIo, MissingContentLengthInCgiModeIsAPlainTextAnswer) {
  scoped_config.set(&Config::no_auth, true);
  req_.content_length.reset();
  OutputCapture cap;
  EXPECT_EQ(read_content(fds_[0], "", &req_, cap.reply()), -1);
  EXPECT_EQ(cap.take(), "Content-Type: text/plain\r\n\r\nneed content length!\n");
}

TEST_F(HttpIo, ContentErrorsInTheServerModesAreTracesOnly) {
  scoped_config.set(&Config::persist, true);
  scoped_config.set(&Config::no_auth, true);
  req_.content_length.reset();
  OutputCapture cap(RunMode::kRelay);
  StdoutCapture traces;
  EXPECT_EQ(read_content(fds_[0], "", &req_, cap.reply()), -1);
  EXPECT_EQ(traces.take(), "need content length!");
  EXPECT_EQ(cap.take(), "");
}

}  // namespace
}  // namespace nvtd
