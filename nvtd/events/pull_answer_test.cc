// Held pull answers go out as one write: a client that reads once finds the whole answer.
#include "nvtd/events/pull_answer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "common/unique_fd.h"
#include "nvtd/soap/envelope.h"

namespace nvtd {
namespace {

TEST(PullAnswer, HeadOpeningAndBodyInOneWrite) {
  // A packet socket keeps each write apart: one receive returns exactly one write.
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
  UniqueFd camera(pair[0]), client(pair[1]);
  const std::string body = "<SOAP-ENV:Body></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  ASSERT_GT(write_pull_response(camera.get(), body), 0);

  std::string received(16384, '\0');
  ssize_t n = ::recv(client.get(), received.data(), received.size(), MSG_DONTWAIT);
  ASSERT_GT(n, 0);
  received.resize(size_t(n));
  size_t blank = received.find("\r\n\r\n");
  ASSERT_NE(blank, std::string::npos);
  std::string length = "Content-Length: " + std::to_string(kEnvelopeOpeningLength + body.size());
  EXPECT_NE(received.find(length + "\r\n"), std::string::npos);
  EXPECT_EQ(received.substr(blank + 4), std::string(EnvelopeOpening) + body);
  EXPECT_LT(::recv(client.get(), received.data(), received.size(), MSG_DONTWAIT), 0);
}

TEST(PullAnswer, RelayAnswerHasTheRelayHeadAndAGoneReaderFails) {
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC | O_NONBLOCK), 0);
  UniqueFd reader(ends[0]), writer(ends[1]);
  const std::string body = "<SOAP-ENV:Body></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  ASSERT_GT(write_pull_response(writer.get(), body, true), 0);
  std::string received(16384, '\0');
  ssize_t n = ::read(reader.get(), received.data(), received.size());
  ASSERT_GT(n, 0);
  received.resize(size_t(n));
  // No status line: the web server in front of the forwarder adds it.
  std::string head = "Content-Length: " + std::to_string(kEnvelopeOpeningLength + body.size()) +
                     "\r\nContent-Type: application/soap+xml; charset=utf-8\r\n";
  EXPECT_EQ(received.rfind(head, 0), 0u) << received.substr(0, 200);
  EXPECT_EQ(received.substr(received.find("\r\n\r\n") + 4), std::string(EnvelopeOpening) + body);
  // A forwarder that died: the write fails (SIGPIPE is ignored in the relay mode).
  reader.reset();
  sighandler_t before = signal(SIGPIPE, SIG_IGN);
  EXPECT_EQ(write_pull_response(writer.get(), body, true), -1);
  signal(SIGPIPE, before);
}

}  // namespace
}  // namespace nvtd
