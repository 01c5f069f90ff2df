#include "nvtd/core/connection_pool.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace nvtd {
namespace {

using State = RequestAssembler::State;

// A connection's client end; the server end goes into the pool.
struct Client {
  UniqueFd fd;
  UniqueFd server;
  Client() {
    int fds[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    fd.reset(fds[0]);
    server.reset(fds[1]);
  }
  void send_text(const std::string& s) {
    EXPECT_EQ(send(fd.get(), s.data(), s.size(), MSG_NOSIGNAL), ssize_t(s.size()));
  }
  // True when the server end has shut its writing side or closed (end of file, no wait).
  bool sees_end() {
    pollfd p = {fd.get(), POLLIN, 0};
    char c;
    return poll(&p, 1, 0) == 1 && recv(fd.get(), &c, 1, MSG_DONTWAIT) == 0;
  }
};

// One round of the server loop at the time `now`: poll without waiting, then service.
std::vector<Connection> round(ConnectionPool& pool, long long now) {
  std::vector<pollfd> entries;
  pool.add_poll_entries(&entries);
  poll(entries.data(), entries.size(), 0);
  std::vector<Connection> done;
  pool.service(entries, 0, now, &done);
  return done;
}

const std::string kHead = "POST / HTTP/1.0\r\nContent-Length: 5\r\n\r\n";

TEST(ConnectionPool, AFullPoolClosesTheConnectionIdleLongest) {
  ConnectionPool pool(3, 1000, 1000);
  Client a, b, c, d, e;
  EXPECT_EQ(pool.admit(std::move(a.server), "a", 0), "");
  EXPECT_EQ(pool.admit(std::move(b.server), "b", 10), "");
  EXPECT_EQ(pool.admit(std::move(c.server), "c", 20), "");
  a.send_text("POST");  // a is the oldest but spoke last
  EXPECT_TRUE(round(pool, 30).empty());
  EXPECT_EQ(pool.admit(std::move(d.server), "d", 40), "b");
  EXPECT_EQ(pool.admit(std::move(e.server), "e", 50), "c");
  EXPECT_EQ(pool.size(), 3u);
  EXPECT_TRUE(b.sees_end() && c.sees_end());
  EXPECT_FALSE(a.sees_end() || d.sees_end() || e.sees_end());
}

TEST(ConnectionPool, EachConnectionKeepsItsOwnHeadAndBodyDeadlines) {
  ConnectionPool pool(8, 100, 200);
  Client slow_head, slow_body, quick;
  pool.admit(std::move(slow_head.server), "head", 0);
  pool.admit(std::move(slow_body.server), "body", 0);
  EXPECT_EQ(pool.wait_ms(0), 100);
  slow_head.send_text("POST / HTTP/1.0\r\n");
  slow_body.send_text(kHead + "ab");
  EXPECT_TRUE(round(pool, 90).empty());
  EXPECT_EQ(pool.wait_ms(90), 10);  // the head's deadline; the body's is at 290
  pool.admit(std::move(quick.server), "quick", 95);
  quick.send_text(kHead + "abcdeEXTRA");

  std::vector<Connection> done = round(pool, 100);
  ASSERT_EQ(done.size(), 2u);
  EXPECT_EQ(done[0].peer, "head");
  EXPECT_EQ(done[0].request.state(), State::kUnusableHead);
  EXPECT_EQ(done[1].peer, "quick");
  EXPECT_EQ(done[1].request.state(), State::kComplete);
  EXPECT_EQ(done[1].request.body(), "abcde");

  EXPECT_TRUE(round(pool, 289).empty());
  done = round(pool, 290);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].request.state(), State::kComplete);
  EXPECT_EQ(done[0].request.body(), "ab");  // cut short; read_content says how much is missing
  EXPECT_EQ(pool.size(), 0u);
  EXPECT_EQ(pool.wait_ms(290), -1);
}

TEST(ConnectionPool, AClientThatClosesEndsItsRequest) {
  ConnectionPool pool(8, 1000, 1000);
  Client early, cut;
  pool.admit(std::move(early.server), "early", 0);
  pool.admit(std::move(cut.server), "cut", 0);
  early.send_text("POST / HTTP/1.0\r\n");
  cut.send_text(kHead + "abc");
  shutdown(early.fd.get(), SHUT_WR);
  shutdown(cut.fd.get(), SHUT_WR);
  std::vector<Connection> done;
  for (int i = 0; i < 4 && done.size() < 2; ++i) {
    for (Connection& c : round(pool, 10)) done.push_back(std::move(c));
  }
  ASSERT_EQ(done.size(), 2u);
  EXPECT_EQ(done[0].request.state(), State::kUnusableHead);
  EXPECT_EQ(done[1].request.state(), State::kComplete);
  EXPECT_EQ(done[1].request.body(), "abc");
}

TEST(ConnectionPool, AnAnsweredConnectionDrainsUntilTheClientCloses) {
  ConnectionPool pool(8, 1000, 1000);
  Client closes, lingers, floods;
  closes.send_text("pipelined");
  lingers.send_text("more");
  pool.drain(std::move(closes.server), "closes", 0);
  pool.drain(std::move(lingers.server), "lingers", 0);
  pool.drain(std::move(floods.server), "floods", 0);
  EXPECT_EQ(pool.size(), 3u);
  EXPECT_TRUE(closes.sees_end() && lingers.sees_end());  // the server's end of file came first
  closes.fd.reset();
  EXPECT_TRUE(round(pool, 10).empty());
  EXPECT_EQ(pool.size(), 2u);
  // Past the byte limit the connection closes at once.
  const std::string block(64 * 1024, 'x');
  for (size_t sent = 0; sent <= kDrainBytes && pool.size() == 2; sent += block.size()) {
    floods.send_text(block);
    round(pool, 20);
  }
  EXPECT_EQ(pool.size(), 1u);
  EXPECT_TRUE(round(pool, kDrainMs - 1).empty());
  EXPECT_EQ(pool.size(), 1u);
  round(pool, kDrainMs);
  EXPECT_EQ(pool.size(), 0u);  // its drain time is up
}

}  // namespace
}  // namespace nvtd
