// Server mode: the accepted connections whose requests are still arriving, read together as
// their bytes come (non-blocking), each with its own deadline, and the answered connections
// that drain what their client still sends so that their close ends with FIN, not a reset.
#pragma once

#include <poll.h>

#include <cstddef>
#include <string>
#include <vector>

#include "common/unique_fd.h"
#include "nvtd/transport/http_io.h"

namespace nvtd {

// How many connections are read or drained at once, and how many of those may wait for the
// requests of one peer address (room for a client's few parallel requests, not for a flood).
inline constexpr size_t kMaxConnections = 32;
inline constexpr size_t kMaxPerPeer = 8;
// How long, and how many bytes, an answered connection reads and discards before it closes.
inline constexpr int kDrainMs = 2000;
inline constexpr size_t kDrainBytes = 128 * 1024;

// One connection in the pool.
struct Connection {
  UniqueFd fd;
  std::string peer;           // the client's address, for traces
  RequestAssembler request;   // unused while draining
  bool draining = false;      // answered: reads are discarded until end of file
  size_t drained = 0;         // bytes discarded so far
  long long deadline_ms = 0;  // request or drain deadline (monotonic milliseconds)
  long long admitted_ms = 0;
  size_t received = 0;  // request bytes read so far
};

// What taking a new connection did: whether it got a place, and the peer of the connection
// closed to make room for it ("" when none was).
struct Admission {
  bool admitted = true;
  std::string closed;
};

class ConnectionPool {
 public:
  // request_ms: the time a connection has for its whole request (head and body) from its
  // acceptance; it holds its place no longer.
  ConnectionPool(size_t capacity, size_t per_peer, int request_ms)
      : capacity_(capacity), per_peer_(per_peer), request_ms_(request_ms) {}

  size_t size() const { return connections_.size(); }

  // Takes an accepted connection and makes it non-blocking. A connection that has sent part of
  // its request is never closed for a newcomer. When the newcomer's peer already waits on
  // per_peer connections, that peer's connection silent longest makes room; when the pool is
  // full, the silent connection waiting longest of the peer holding the most, else the oldest
  // draining one. With no such connection the newcomer is closed instead.
  Admission admit(UniqueFd fd, std::string peer, long long now_ms);

  // Takes an answered connection: its write side is shut (FIN after the response) and what the
  // client still sends is read and discarded until end of file, kDrainBytes or kDrainMs.
  void drain(UniqueFd fd, std::string peer, long long now_ms);

  // Appends one pollfd per connection, in pool order.
  void add_poll_entries(std::vector<pollfd>* entries) const;

  // Reads the connections that poll found ready (entries from `first` on, as added by
  // add_poll_entries), then ends those whose deadline has passed. Connections whose request is
  // complete or whose head is unusable leave the pool and are appended to *finished.
  void service(const std::vector<pollfd>& entries, size_t first, long long now_ms,
               std::vector<Connection>* finished);

  // Milliseconds until the nearest deadline (0 if one has passed), or -1 with no connection.
  long long wait_ms(long long now_ms) const;

 private:
  // Reads what the connection has; false when it is to be closed (drained or failed).
  bool read_ready(Connection& c);
  // The connection to close for a newcomer from peer, connections_.size() when none is
  // needed, or -1 when the newcomer is to be refused.
  long victim_for(const std::string& peer) const;

  size_t capacity_;
  size_t per_peer_;
  int request_ms_;
  std::vector<Connection> connections_;
};

// Monotonic milliseconds.
long long monotonic_ms();

}  // namespace nvtd
