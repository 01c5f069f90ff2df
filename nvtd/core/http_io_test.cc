#include "nvtd/core/http_io.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

class HttpIo : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_process_state();
    HeaderRemainder.clear();
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0);
  }
  void TearDown() override {
    close(fds_[0]);
    if (fds_[1] >= 0) close(fds_[1]);
    reset_process_state();
  }
  void send_peer(const std::string& s) {
    ASSERT_EQ(write(fds_[1], s.data(), s.size()), ssize_t(s.size()));
  }
  void close_peer() {
    close(fds_[1]);
    fds_[1] = -1;
  }
  int fds_[2] = {-1, -1};
};

TEST(RequestHead, ParsesMethodUriAndTheThreeHeaders) {
  RequestHead h;
  ASSERT_EQ(parse_request_head("POST /onvif/device_service HTTP/1.1\r\nHost: x\r\n"
                               "content-type: application/soap+xml\r\nContent-Length: 12\r\n"
                               "SOAPAction: \"urn:GetScopes\"\r\n\r\n<body>",
                               &h),
            0);
  EXPECT_EQ(h.method, "POST");
  EXPECT_EQ(h.uri.value_or(""), "/onvif/device_service");
  EXPECT_EQ(h.content_type.value_or(""), "application/soap+xml");
  EXPECT_EQ(h.content_length, "12");
  EXPECT_EQ(h.soap_action.value_or(""), "\"urn:GetScopes\"");
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

TEST(RequestHead, ValuesStartAtAFixedOffset) {
  RequestHead h;
  ASSERT_EQ(parse_request_head("POST / HTTP/1.0\r\nContent-Length:42\r\n\r\n", &h), 0);
  EXPECT_EQ(h.content_length, "2");  // one character after the colon is always skipped
  ASSERT_EQ(parse_request_head("POST\r\nCONTENT-LENGTH: 7\r\nContent-Type:\r\n\r\n", &h), 0);
  EXPECT_EQ(h.content_length, "7");
  EXPECT_FALSE(h.uri.has_value());
  EXPECT_EQ(h.content_type.value_or("?"), "");  // a line shorter than the offset has no value
}

TEST_F(HttpIo, ApplyingAHeadClearsThePreviousRequestsVariables) {
  setenv("HTTP_SOAPACTION", "GetUsers", 1);
  setenv("CONTENT_TYPE", "x", 1);
  RequestHead h;
  ASSERT_EQ(parse_request_head("POST / HTTP/1.0\r\nContent-Length: 3\r\n\r\n", &h), 0);
  apply_request_head(h);
  EXPECT_EQ(getenv("HTTP_SOAPACTION"), nullptr);
  EXPECT_EQ(getenv("CONTENT_TYPE"), nullptr);
  EXPECT_STREQ(getenv("REQUEST_METHOD"), "POST");
  EXPECT_STREQ(getenv("REQUEST_URI"), "/");
  EXPECT_STREQ(getenv("CONTENT_LENGTH"), "3");
}

TEST_F(HttpIo, AHeadSplitAcrossSegmentsIsAssembledAndTheBodyFollows) {
  std::thread peer([this] {
    send_peer("POST /onvif/device_service HTTP/1.1\r\nContent-Le");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    send_peer("ngth: 10\r\n\r\n0123");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    send_peer("456789");
  });
  ASSERT_EQ(read_request_head(fds_[0], 5000), 0);
  EXPECT_EQ(HeaderRemainder, "0123");
  ASSERT_EQ(read_content(fds_[0]), 0);
  peer.join();
  EXPECT_EQ(RequestBody, "0123456789");
  EXPECT_EQ(ContentLength, 10);
  EXPECT_EQ(RequestBody.c_str()[10], '\0');
}

TEST_F(HttpIo, AHeadLongerThan500BytesIsUnusable) {
  send_peer("POST / HTTP/1.0\r\nX-Pad: " + std::string(600, 'p') + "\r\nContent-Length: 1\r\n\r\n");
  EXPECT_EQ(read_request_head(fds_[0], 2000), -1);
}

TEST_F(HttpIo, ASilentPeerTimesOut) {
  send_peer("POST / HTTP/1.0\r\n");
  EXPECT_EQ(read_request_head(fds_[0], 200), -1);
}

TEST_F(HttpIo, APeerThatClosesBeforeTheBlankLineGivesAnUnusableHead) {
  send_peer("POST / HTTP/1.0\r\nContent-Length: 3\r\n");
  close_peer();
  EXPECT_EQ(read_request_head(fds_[0], 2000), -1);
}

TEST_F(HttpIo, ExtraHeadBytesBeyondTheLengthAreNotUsed) {
  HeaderRemainder = "abcdefgh";
  setenv("CONTENT_LENGTH", "3", 1);
  ASSERT_EQ(read_content(fds_[0]), 0);
  EXPECT_EQ(RequestBody, "abc");
  EXPECT_TRUE(HeaderRemainder.empty());
}

TEST_F(HttpIo, ABodyCutShortEndsAfterWhatArrived) {
  Server = true;
  StdoutCapture traces;
  setenv("CONTENT_LENGTH", "20", 1);
  send_peer("short");
  close_peer();
  ASSERT_EQ(read_content(fds_[0]), 0);
  EXPECT_EQ(traces.take(), "read_content: 15 bytes left unread!\n");
  EXPECT_EQ(RequestBody, "short");
  EXPECT_EQ(ContentLength, 5);
}

TEST_F(HttpIo, ADribblingBodyEndsAtTheDeadline) {
  Server = true;
  StdoutCapture traces;
  setenv("CONTENT_LENGTH", "100", 1);
  // A byte every 50 ms: each read is quick, the whole would take 5 s.
  std::thread peer([fd = fds_[1]] {
    for (int i = 0; i < 100; ++i) {
      if (send(fd, "x", 1, MSG_NOSIGNAL) != 1) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(read_content(fds_[0], 300), 0);
  const auto took = std::chrono::steady_clock::now() - start;
  shutdown(fds_[0], SHUT_RDWR);  // the peer's next write fails, so it stops
  peer.join();
  EXPECT_LT(took, std::chrono::seconds(3));
  EXPECT_GT(ContentLength, 0);
  EXPECT_LT(ContentLength, 100);
  EXPECT_EQ(RequestBody, std::string(size_t(ContentLength), 'x'));
  EXPECT_EQ(traces.take(),
            "read_content: " + std::to_string(100 - ContentLength) + " bytes left unread!\n");
}

TEST_F(HttpIo, ABodyWithinTheDeadlineIsReadWhole) {
  setenv("CONTENT_LENGTH", "6", 1);
  std::thread peer([this] {
    send_peer("abc");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    send_peer("def");
  });
  ASSERT_EQ(read_content(fds_[0], 5000), 0);
  peer.join();
  EXPECT_EQ(RequestBody, "abcdef");
}

TEST_F(HttpIo, BogusContentLengthsAreRefused) {
  for (const char* bad : {"0", "50001", "-5", "abc"}) {
    setenv("CONTENT_LENGTH", bad, 1);
    OutputCapture cap;
    EXPECT_EQ(read_content(fds_[0]), -1) << bad;
    EXPECT_EQ(cap.take(), "Content-Type: text/plain\r\n\r\nbogus content length!\n") << bad;
  }
  setenv("CONTENT_LENGTH", "50000", 1);
  send_peer(std::string(50000, 'x'));
  EXPECT_EQ(read_content(fds_[0]), 0);
  EXPECT_EQ(ContentLength, 50000);
}

TEST_F(HttpIo, MissingContentLengthInCgiModeIsAPlainTextAnswer) {
  unsetenv("CONTENT_LENGTH");
  OutputCapture cap;
  EXPECT_EQ(read_content(fds_[0]), -1);
  EXPECT_EQ(cap.take(), "Content-Type: text/plain\r\n\r\nneed content length!\n");
}

TEST_F(HttpIo, ContentErrorsInTheServerModesAreTracesOnly) {
  Persist = true;
  unsetenv("CONTENT_LENGTH");
  OutputCapture cap;
  StdoutCapture traces;
  EXPECT_EQ(read_content(fds_[0]), -1);
  EXPECT_EQ(traces.take(), "need content length!");
  EXPECT_EQ(cap.take(), "");
}

}  // namespace
}  // namespace nvtd
