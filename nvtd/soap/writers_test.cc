#include "nvtd/soap/writers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "common/unique_fd.h"
#include "nvtd/core/config_test_util.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/soap/envelope.h"

namespace nvtd {
namespace {

constexpr char kHeadersTail[] =
    "Content-Type: application/soap+xml; charset=utf-8\r\nConnection: close\r\n\r\n";

class Writers : public ::testing::Test {
 protected:
  ScopedConfig scoped_config;
};

// The number after "Content-Length: " and the bytes after the blank line.
void expect_length_matches(const std::string& out) {
  size_t at = out.find("Content-Length: ");
  ASSERT_NE(at, std::string::npos);
  size_t blank = out.find("\r\n\r\n");
  ASSERT_NE(blank, std::string::npos);
  EXPECT_EQ(std::stoul(out.substr(at + 16)), out.size() - blank - 4);
}

TEST(EnvelopeOpeningText, IsExactly2607BytesWithEveryPrefix) {
  std::string opening = EnvelopeOpening;
  EXPECT_EQ(opening.size(), 2607u);
  EXPECT_EQ(opening.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope ", 0), 0u);
  EXPECT_EQ(opening.back(), '>');
  size_t at = 0;
  for (const char* prefix :
       {"SOAP-ENV", "SOAP-ENC", "xsi",     "xsd",    "c14n",    "wsu",     "wsse",
        "xenc",     "ds",       "wsa5",    "xmime",  "xop",     "tt",      "wstop",
        "wsrfbf",   "wsrfr",    "tan1ae",  "tan1",   "tan1re",  "tanae",   "tanre",
        "tan",      "tds",      "tev-cpb", "tev-eb", "tev-ncb", "tev-npb", "tev-ppb",
        "tev-pps",  "tev",      "tev-psm", "wsnt",   "tev-smb", "timg",    "timg1",
        "tmd",      "tptz",     "tptz1",   "trt",    "ter",     "tns",     "tnsolm"}) {
    size_t next = opening.find(std::string(" xmlns:") + prefix + "=\"", at);
    EXPECT_NE(next, std::string::npos) << prefix << " missing or out of order";
    at = next == std::string::npos ? at : next + 1;
  }
  EXPECT_NE(opening.find("xmlns:tt=\"http://www.onvif.org/ver10/schema\""), std::string::npos);
  EXPECT_NE(opening.find("xmlns:wsa5=\"http://www.w3.org/2005/08/addressing\""), std::string::npos);
}

TEST_F(Writers, SendBodyInCgiModeIsACgiResponseStartingWithContentLength) {
  OutputCapture cap;
  send_body(cap.reply(), "<SOAP-ENV:Body>%d</SOAP-ENV:Body></SOAP-ENV:Envelope>", 42);
  std::string out = cap.take();
  std::string body = "<SOAP-ENV:Body>42</SOAP-ENV:Body></SOAP-ENV:Envelope>";
  EXPECT_EQ(out, "Content-Length: " + std::to_string(2607 + body.size()) + "\r\n" + kHeadersTail +
                     EnvelopeOpening + body);
  expect_length_matches(out);
}

TEST_F(Writers, SendBodyInServerModeStartsWithTheStatusLines) {
  scoped_config.set(&Config::server, true);
  OutputCapture cap(RunMode::kServer);
  send_body(cap.reply(), "<b/>");
  std::string out = cap.take();
  EXPECT_EQ(out.rfind("HTTP/1.0 200 OK\r\nServer: OnVIF NVT\r\nContent-Length: 2611\r\n", 0), 0u);
}

TEST_F(Writers, SendFaultWritesStatusLinesOnlyWithFlagInServerMode) {
  {
    scoped_config.set(&Config::server, true);
    OutputCapture cap(RunMode::kServer);
    send_fault(cap.reply(), 0, "<f/>");
    EXPECT_EQ(cap.take().rfind("Content-Length: 2611\r\n", 0), 0u);
  }
  {
    OutputCapture cap(RunMode::kServer);
    send_fault(cap.reply(), 1, "<f/>");
    EXPECT_EQ(cap.take().rfind("HTTP/1.0 200 OK\r\n", 0), 0u);
  }
  {
    scoped_config.set(&Config::server, false);
    OutputCapture cap;
    send_fault(cap.reply(), 1, "<f/>");
    EXPECT_EQ(cap.take().rfind("Content-Length: 2611\r\n", 0), 0u);
  }
}

TEST_F(Writers, SendEnvelopeHasNoOpeningAndCountsOnlyItsText) {
  scoped_config.set(&Config::server, true);
  {
    OutputCapture cap(RunMode::kServer);
    send_envelope(cap.reply(), "<e>%s</e>", "x");
    EXPECT_EQ(cap.take(),
              std::string(kStatusOk) + "Content-Length: 8\r\n" + kHeadersTail + "<e>x</e>");
  }
  {
    OutputCapture cap(RunMode::kServer);
    send_envelope_fault(cap.reply(), 0, "<e/>");
    EXPECT_EQ(cap.take(), std::string("Content-Length: 4\r\n") + kHeadersTail + "<e/>");
  }
}

TEST_F(Writers, LongTextIsCutAndContentLengthCountsWhatIsSent) {
  std::string big(30000, 'a');
  OutputCapture cap;
  send_body(cap.reply(), "%s", big.c_str());
  std::string out = cap.take();
  EXPECT_EQ(out.size() - out.find("\r\n\r\n") - 4, 2607u + 19999u);
  expect_length_matches(out);
}

TEST_F(Writers, RequestTextIsNeverUsedAsAFormat) {
  OutputCapture cap;
  send_envelope(cap.reply(), "%s", "%n%s%x%%");
  std::string out = cap.take();
  EXPECT_EQ(out.substr(out.size() - 8), "%n%s%x%%");
}

TEST_F(Writers, OutPrintfWritesTheTextAsIs) {
  OutputCapture cap;
  out_printf(cap.reply(), "HTTP/1.0 400 Bad Request\r\n");
  out_printf(cap.reply(), "%s=%d", "a", 7);
  EXPECT_EQ(cap.take(), "HTTP/1.0 400 Bad Request\r\na=7");
}

TEST_F(Writers, SendTextIsPlainTextOrATraceInPersistentMode) {
  {
    OutputCapture cap;
    send_text(cap.reply(), "bogus content");
    EXPECT_EQ(cap.take(), "Content-Type: text/plain\r\n\r\nbogus content\n");
  }
  scoped_config.set(&Config::persist, true);
  OutputCapture cap(RunMode::kRelay);
  StdoutCapture traces;
  send_text(cap.reply(), "bogus content");
  EXPECT_EQ(traces.take(), "bogus content\n");
  EXPECT_EQ(cap.take(), "");
}

TEST_F(Writers, SendPlainErrorSendsTheWholeTextUpTo1999Characters) {
  {
    OutputCapture cap;
    send_plain_error(cap.reply(), "Invalid configuration token\n");
    EXPECT_EQ(cap.take(), "Content-Type: text/plain\r\n\r\nInvalid configuration token\n");
  }
  std::string big(3000, 'z');
  OutputCapture cap;
  send_plain_error(cap.reply(), "%s", big.c_str());
  EXPECT_EQ(cap.take(), "Content-Type: text/plain\r\n\r\n" + std::string(1999, 'z'));
}

}  // namespace
}  // namespace nvtd

// A server-mode answer goes to a non-blocking connection: when the client reads slowly, the
// reply waits for room instead of stopping at the first full buffer.
TEST(ReplyWrite, ANonBlockingConnectionGetsTheWholeReplyFromASlowReader) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  UniqueFd ours(pair[0]), theirs(pair[1]);
  int small = 4096;
  setsockopt(ours.get(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  fcntl(ours.get(), F_SETFL, fcntl(ours.get(), F_GETFL) | O_NONBLOCK);
  const std::string answer(256 * 1024, 'a');
  std::string got;
  std::thread reader([&] {
    char buffer[4096];
    ssize_t n;
    while ((n = read(theirs.get(), buffer, sizeof buffer)) > 0) {
      got.append(buffer, size_t(n));
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  nvtd::write_all(ours.get(), answer);
  ours.reset();
  reader.join();
  EXPECT_EQ(got.size(), answer.size());
}
