// Server mode: listening socket, accept loop and one request per connection.
#include "nvtd/core/tcp_server.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/unique_fd.h"
#include "nvtd/core/dispatch.h"
#include "nvtd/core/http_io.h"
#include "nvtd/core/process_state.h"
#include "nvtd/core/writers.h"

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

void set_timeouts(int fd) {
  timeval tv = {kConnectionTimeoutMs / 1000, (kConnectionTimeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// Waits up to kAcceptWaitSeconds for a connection: 1 ready, 0 timeout or interruption.
int wait_for_connection(int listen_fd) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(listen_fd, &readable);
  timeval tv = {kAcceptWaitSeconds, 0};
  return select(listen_fd + 1, &readable, nullptr, nullptr, &tv) > 0 ? 1 : 0;
}

}  // namespace

int open_listen_socket() {
  addrinfo hints = {};
  hints.ai_flags = AI_PASSIVE;
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  std::string port = std::to_string(HttpPort);
  addrinfo* list = nullptr;
  int rc = getaddrinfo(nullptr, port.c_str(), &hints, &list);
  if (rc != 0 || list == nullptr) {
    fprintf(stderr, "create listen socket failed: %s\n", gai_strerror(rc));
    return -1;
  }
  UniqueFd fd(socket(list->ai_family, list->ai_socktype | SOCK_CLOEXEC, list->ai_protocol));
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
    syslog(LOG_ERR, "failed to bind to %s:%s %s", host, port.c_str(), strerror(err));
    freeaddrinfo(list);
    return -1;
  }
  freeaddrinfo(list);
  if (listen(fd.get(), 5) < 0) {
    perror("listen on listen socket failed");
    return -1;
  }
  return fd.release();
}

void serve_connection(int connection_fd, const OperationTable& operations) {
  UniqueFd conn(connection_fd);
  set_timeouts(conn.get());
  {
    Reply reply(conn.get(), RunMode::kServer);
    RequestHead head;
    if (read_request_head(conn.get(), kConnectionTimeoutMs, &head) < 0) {
      printf("process header fail\n");
    } else {
      Request request = request_from_head(head);
      request.connection_fd = conn.get();
      if (read_content(conn.get(), head.remainder, &request, reply, kBodyTimeoutMs) < 0) {
        send_text(reply, "bogus content");
      } else if (dispatch_request(operations, request, reply) == DispatchOutcome::kHandedOver) {
        conn.release();  // the handler answers it later and closes it
      } else {
        trace_verbose("closed socket\n");
      }
    }
  }                // the reply is written before the connection closes
  fflush(stdout);  // traces without a newline too
}

void run_server_loop(int listen_fd, const OperationTable& operations) {
  while (!StopRequested) {
    if (wait_for_connection(listen_fd) == 0) {
      if (StopRequested) printf("connect failed!\n");
      continue;
    }
    sockaddr_storage peer = {};
    socklen_t peer_size = sizeof peer;
    int fd = accept4(listen_fd, reinterpret_cast<sockaddr*>(&peer), &peer_size, SOCK_CLOEXEC);
    if (fd < 0) {
      printf("Failed accepting connection\n");
      continue;
    }
    trace_verbose("New connection from %s\n", peer_text(peer).c_str());
    serve_connection(fd, operations);
  }
}

}  // namespace nvtd
