// Server mode: reading many connections at once, their deadlines, fair places and draining.
#include "nvtd/transport/connection_pool.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <map>
#include <string_view>
#include <utility>

namespace nvtd {
namespace {

constexpr size_t kReadChunk = 16 * 1024;

void set_nonblocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0 && (flags & O_NONBLOCK) == 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

bool finished(const Connection& c) {
  using State = RequestAssembler::State;
  return !c.draining &&
         (c.request.state() == State::kComplete || c.request.state() == State::kUnusableHead);
}

}  // namespace

long long monotonic_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

long ConnectionPool::victim_for(const std::string& peer) const {
  std::map<std::string_view, size_t> waiting;  // connections still reading a request, per peer
  for (const Connection& c : connections_) {
    if (!c.draining) ++waiting[c.peer];
  }
  auto silent = [](const Connection& c) { return !c.draining && c.received == 0; };
  long best = -1;
  auto take_if_better = [&](size_t i) {
    const Connection& c = connections_[i];
    if (best >= 0) {
      const Connection& b = connections_[size_t(best)];
      size_t held = waiting[c.peer], best_held = waiting[b.peer];
      if (held < best_held || (held == best_held && c.admitted_ms >= b.admitted_ms)) return;
    }
    best = long(i);
  };
  if (waiting[peer] >= per_peer_) {  // the peer makes room among its own
    for (size_t i = 0; i < connections_.size(); ++i) {
      if (silent(connections_[i]) && connections_[i].peer == peer) take_if_better(i);
    }
    return best;
  }
  if (connections_.size() < capacity_) return long(connections_.size());
  for (size_t i = 0; i < connections_.size(); ++i) {
    if (silent(connections_[i])) take_if_better(i);
  }
  if (best >= 0) return best;
  for (size_t i = 0; i < connections_.size(); ++i) {  // answered ones, oldest first
    if (connections_[i].draining &&
        (best < 0 || connections_[i].admitted_ms < connections_[size_t(best)].admitted_ms)) {
      best = long(i);
    }
  }
  return best;
}

Admission ConnectionPool::admit(UniqueFd fd, std::string peer, long long now_ms) {
  Admission result;
  long victim = victim_for(peer);
  if (victim < 0) {
    result.admitted = false;
    return result;  // fd closes here
  }
  if (size_t(victim) < connections_.size()) {
    result.closed = connections_[size_t(victim)].peer;
    connections_.erase(connections_.begin() + victim);
  }
  set_nonblocking(fd.get());
  Connection c;
  c.fd = std::move(fd);
  c.peer = std::move(peer);
  c.deadline_ms = now_ms + request_ms_;
  c.admitted_ms = now_ms;
  connections_.push_back(std::move(c));
  return result;
}

void ConnectionPool::drain(UniqueFd fd, std::string peer, long long now_ms) {
  set_nonblocking(fd.get());
  shutdown(fd.get(), SHUT_WR);
  Connection c;
  c.fd = std::move(fd);
  c.peer = std::move(peer);
  c.draining = true;
  c.deadline_ms = now_ms + kDrainMs;
  c.admitted_ms = now_ms;
  // Most clients have closed or will close at once: try now before taking a place.
  if (!read_ready(c)) return;
  if (connections_.size() >= capacity_) return;  // no place: close now
  connections_.push_back(std::move(c));
}

void ConnectionPool::add_poll_entries(std::vector<pollfd>* entries) const {
  for (const Connection& c : connections_) entries->push_back({c.fd.get(), POLLIN, 0});
}

bool ConnectionPool::read_ready(Connection& c) {
  std::array<char, kReadChunk> buffer;
  if (c.draining) {
    // Everything the client sent is read and dropped, up to the limit.
    while (c.drained < kDrainBytes) {
      ssize_t n = recv(c.fd.get(), buffer.data(), buffer.size(), 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
      if (n <= 0) return false;
      c.drained += size_t(n);
    }
    return false;
  }
  // As much as has arrived, never beyond the request (the head limit, then its body).
  for (size_t wanted; (wanted = std::min(c.request.wanted(), buffer.size())) > 0;) {
    ssize_t n = recv(c.fd.get(), buffer.data(), wanted, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (n <= 0) {
      c.request.end();  // the client closed or failed: the request ends where it is
      return true;
    }
    c.request.add(std::string_view(buffer.data(), size_t(n)));
    c.received += size_t(n);
  }
  return true;
}

void ConnectionPool::service(const std::vector<pollfd>& entries, size_t first, long long now_ms,
                             std::vector<Connection>* done) {
  std::vector<Connection> kept;
  kept.reserve(connections_.size());
  for (size_t i = 0; i < connections_.size(); ++i) {
    Connection& c = connections_[i];
    size_t at = first + i;
    bool ready = at < entries.size() && entries[at].fd == c.fd.get() && entries[at].revents != 0;
    if (ready && !read_ready(c)) continue;  // closed
    if (!finished(c) && now_ms >= c.deadline_ms) {
      if (c.draining) continue;  // drained long enough: close
      c.request.end();
    }
    if (finished(c)) {
      done->push_back(std::move(c));
    } else {
      kept.push_back(std::move(c));
    }
  }
  connections_ = std::move(kept);
}

long long ConnectionPool::wait_ms(long long now_ms) const {
  long long wait = -1;
  for (const Connection& c : connections_) {
    long long left = std::max(0LL, c.deadline_ms - now_ms);
    if (wait < 0 || left < wait) wait = left;
  }
  return wait;
}

}  // namespace nvtd
