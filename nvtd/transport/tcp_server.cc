// Server mode: listening socket and the loop that reads connections and serves their requests
// one at a time.
#include "nvtd/transport/tcp_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/unique_fd.h"
#include "nvtd/core/dispatcher.h"
#include "nvtd/core/log_limiter.h"
#include "nvtd/core/process_state.h"
#include "nvtd/soap/writers.h"
#include "nvtd/transport/connection_pool.h"
#include "nvtd/transport/http_io.h"

namespace nvtd {
namespace {

std::string peer_text(const sockaddr_storage& peer) {
  char text[INET6_ADDRSTRLEN] = "";
  if (peer.ss_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(peer).sin_addr, text, sizeof text);
  } else if (peer.ss_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(peer).sin6_addr, text, sizeof text);
  } else {
    return "Unknown AF";
  }
  return text;
}

// Takes the connections waiting in the listen queue into the pool.
void accept_connections(int listen_fd, ConnectionPool* pool) {
  for (int i = 0; i < kAcceptsPerRound; ++i) {
    sockaddr_storage peer = {};
    socklen_t peer_size = sizeof peer;
    int fd = accept4(listen_fd, reinterpret_cast<sockaddr*>(&peer), &peer_size,
                     SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        printf("Failed accepting connection\n");
      }
      return;
    }
    std::string text = peer_text(peer);
    trace_verbose("New connection from %s\n", text.c_str());
    Admission admission = pool->admit(UniqueFd(fd), text, monotonic_ms());
    if (!admission.closed.empty()) {
      trace_verbose("closed silent connection from %s\n", admission.closed.c_str());
    }
    if (!admission.admitted) trace_verbose("no place for a connection from %s\n", text.c_str());
  }
}

// Answers one connection whose request is complete or whose head is unusable; the connection
// then drains, unless its handler kept it.
void serve_finished(Connection& c, const Dispatcher& dispatch, ConnectionPool* pool) {
  using State = RequestAssembler::State;
  if (c.request.state() == State::kUnusableHead) {
    trace_complaint(false, c.peer, "process header fail\n");
  } else {
    Reply reply(c.fd.get(), RunMode::kServer);
    Request request = request_from_head(c.request.head());
    request.connection_fd = c.fd.get();
    request.remote_addr = c.peer;
    // The body has arrived already: a short one gets its message and is used as it is.
    if (read_content(c.fd.get(), c.request.body(), &request, reply, 0) < 0) {
      send_text(reply, "bogus content");
    } else if (dispatch(request, reply) == DispatchOutcome::kHandedOver) {
      c.fd.release();  // the handler answers it later and closes it
    } else {
      trace_verbose("closed socket\n");
    }
  }                // the reply is written before the connection drains
  fflush(stdout);  // traces without a newline too
  if (c.fd.valid()) pool->drain(std::move(c.fd), std::move(c.peer), monotonic_ms());
}

}  // namespace

void make_connection_blocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  timeval tv = {kConnectionTimeoutMs / 1000, (kConnectionTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

int open_listen_socket(int port) {
  addrinfo hints = {};
  hints.ai_flags = AI_PASSIVE;
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  std::string service = std::to_string(port);
  addrinfo* list = nullptr;
  int rc = getaddrinfo(nullptr, service.c_str(), &hints, &list);
  if (rc != 0 || list == nullptr) {
    fprintf(stderr, "create listen socket failed: %s\n", gai_strerror(rc));
    return -1;
  }
  UniqueFd fd(
      socket(list->ai_family, list->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, list->ai_protocol));
  if (!fd.valid()) {
    perror("create listen socket failed");
    freeaddrinfo(list);
    return -1;
  }
  int one = 1;
  if (setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) < 0) {
    perror("reuseaddr on listen socket failed");
    freeaddrinfo(list);
    return -1;
  }
  if (bind(fd.get(), list->ai_addr, list->ai_addrlen) < 0) {
    int err = errno;
    perror("bind on listen socket failed");
    char host[NI_MAXHOST] = "";
    getnameinfo(list->ai_addr, list->ai_addrlen, host, sizeof host, nullptr, 0, NI_NUMERICHOST);
    syslog(LOG_ERR, "failed to bind to %s:%s %s", host, service.c_str(), strerror(err));
    freeaddrinfo(list);
    return -1;
  }
  freeaddrinfo(list);
  if (listen(fd.get(), kListenBacklog) < 0) {
    perror("listen on listen socket failed");
    return -1;
  }
  return fd.release();
}

void run_server_loop(int listen_fd, const Dispatcher& dispatch) {
  ConnectionPool pool(kMaxConnections, kMaxPerPeer, kConnectionTimeoutMs);
  std::vector<pollfd> entries;
  std::vector<Connection> finished;
  while (!StopRequested) {
    entries.assign(1, pollfd{listen_fd, POLLIN, 0});
    pool.add_poll_entries(&entries);
    long long wait = pool.wait_ms(monotonic_ms());
    if (wait < 0 || wait > kAcceptWaitSeconds * 1000) wait = kAcceptWaitSeconds * 1000;
    int ready = poll(entries.data(), entries.size(), int(wait));
    if (ready < 0 && errno != EINTR) {
      perror("poll");
      return;
    }
    if (StopRequested) {
      printf("connect failed!\n");
      break;
    }
    if (ready < 0) continue;
    finished.clear();
    pool.service(entries, 1, monotonic_ms(), &finished);
    if (entries[0].revents != 0) accept_connections(listen_fd, &pool);
    for (Connection& c : finished) serve_finished(c, dispatch, &pool);
  }
}

}  // namespace nvtd
