#include "nvtd/transport/connection_pool.h"

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

// The connections in a pool before a newcomer arrives, in the order they came (10 ms apart,
// each read 5 ms after it came).
struct Existing {
  const char* peer;
  const char* sends;  // request bytes it has sent
  bool answered;      // draining instead of waiting for a request
};

struct EvictionCase {
  const char* name;
  size_t capacity, per_peer;
  std::vector<Existing> existing;
  const char* newcomer;
  int closed;  // index of the connection closed for the newcomer, or -1
  bool admitted;
};

TEST(ConnectionPool, NewcomersTakeThePlaceOfSilentConnectionsOfTheBiggestPeer) {
  const Existing silent_a{"a", "", false}, silent_b{"b", "", false}, partial_a{"a", "PO", false},
      partial_b{"b", "POST", false}, answered_c{"c", "", true};
  const EvictionCase cases[] = {
      {"room left", 4, 4, {silent_a}, "b", -1, true},
      {"a partial request outlasts a newer silent one", 2, 2, {partial_a, silent_b}, "c", 1, true},
      {"the peer holding the most pays first", 3, 3, {silent_a, silent_b, silent_b}, "c", 1, true},
      {"partial requests are never closed for a newcomer",
       2,
       2,
       {partial_a, partial_b},
       "c",
       -1,
       false},
      {"a peer at its limit replaces its own silent one",
       8,
       2,
       {silent_b, silent_a, silent_b},
       "b",
       0,
       true},
      {"a peer at its limit with partial requests waits",
       8,
       2,
       {partial_b, silent_a, partial_b},
       "b",
       -1,
       false},
      {"answered connections do not count for the limit",
       8,
       2,
       {answered_c, silent_b},
       "c",
       -1,
       true},
      {"a full pool of requests drops an answered one",
       3,
       3,
       {partial_a, answered_c, partial_b},
       "a",
       1,
       true},
  };
  for (const EvictionCase& t : cases) {
    ConnectionPool pool(t.capacity, t.per_peer, 1000);
    std::vector<Client> clients(t.existing.size() + 1);
    for (size_t i = 0; i < t.existing.size(); ++i) {
      const Existing& e = t.existing[i];
      if (e.answered) {
        pool.drain(std::move(clients[i].server), e.peer, long(i) * 10);
      } else {
        pool.admit(std::move(clients[i].server), e.peer, long(i) * 10);
        if (*e.sends != '\0') clients[i].send_text(e.sends);
      }
      EXPECT_TRUE(round(pool, long(i) * 10 + 5).empty()) << t.name;
    }
    Admission got = pool.admit(std::move(clients.back().server), t.newcomer, 200);
    EXPECT_EQ(got.admitted, t.admitted) << t.name;
    EXPECT_EQ(got.closed, t.closed < 0 ? "" : t.existing[size_t(t.closed)].peer) << t.name;
    for (size_t i = 0; i < t.existing.size(); ++i) {
      if (!t.existing[i].answered) {
        EXPECT_EQ(clients[i].sees_end(), int(i) == t.closed) << t.name << " #" << i;
      }
    }
    EXPECT_EQ(clients.back().sees_end(), !t.admitted) << t.name;
    EXPECT_EQ(pool.size(), t.existing.size() + (t.admitted ? 1 : 0) - (t.closed < 0 ? 0 : 1))
        << t.name;
  }
}

// One deadline for the whole request from acceptance: a head that ended does not buy the body
// time of its own, so a partial request holds its place for request_ms at most.
TEST(ConnectionPool, EachConnectionHasItsWholeRequestWithinItsOwnDeadline) {
  ConnectionPool pool(8, 8, 100);
  Client slow_head, slow_body, quick;
  pool.admit(std::move(slow_head.server), "head", 0);
  pool.admit(std::move(slow_body.server), "body", 50);
  EXPECT_EQ(pool.wait_ms(0), 100);
  slow_head.send_text("POST / HTTP/1.0\r\n");
  slow_body.send_text(kHead + "ab");
  EXPECT_TRUE(round(pool, 90).empty());
  EXPECT_EQ(pool.wait_ms(90), 10);  // the first's deadline; the second's is at 150
  pool.admit(std::move(quick.server), "quick", 95);
  quick.send_text(kHead + "abcdeEXTRA");

  std::vector<Connection> done = round(pool, 100);
  ASSERT_EQ(done.size(), 2u);
  EXPECT_EQ(done[0].peer, "head");
  EXPECT_EQ(done[0].request.state(), State::kUnusableHead);
  EXPECT_EQ(done[1].peer, "quick");
  EXPECT_EQ(done[1].request.state(), State::kComplete);
  EXPECT_EQ(done[1].request.body(), "abcde");

  EXPECT_TRUE(round(pool, 149).empty());
  done = round(pool, 150);
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].peer, "body");
  EXPECT_EQ(done[0].request.state(), State::kComplete);
  EXPECT_EQ(done[0].request.body(), "ab");  // cut short; read_content says how much is missing
  EXPECT_EQ(pool.size(), 0u);
  EXPECT_EQ(pool.wait_ms(150), -1);
}

TEST(ConnectionPool, AClientThatClosesEndsItsRequest) {
  ConnectionPool pool(8, 8, 1000);
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
  ConnectionPool pool(8, 8, 1000);
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
