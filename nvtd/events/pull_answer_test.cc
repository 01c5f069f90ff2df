// Held pull answers go out as one write: a client that reads once finds the whole answer.
#include "nvtd/events/pull_answer.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>

#include "common/unique_fd.h"
#include "nvtd/core/envelope.h"

namespace nvtd {
namespace {

TEST(PullAnswer, HeadOpeningAndBodyInOneWrite) {
  // A packet socket keeps each write apart: one receive returns exactly one write.
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
  UniqueFd camera(pair[0]), client(pair[1]);
  const std::string body = "<SOAP-ENV:Body></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  ASSERT_GT(WritePullResponse(camera.get(), body), 0);

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

}  // namespace
}  // namespace nvtd
