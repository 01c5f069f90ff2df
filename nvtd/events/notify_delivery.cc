// Delivery of a Notify to a push consumer (see notify_delivery.h).
#include "nvtd/events/notify_delivery.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "common/unique_fd.h"
#include "nvtd/core/process_state.h"
#include "nvtd/events/event_messages.h"

namespace nvtd {

// Non-blocking connect, waiting at most the connect limit; true when connected.
static bool connect_within_limit(int fd, const struct sockaddr* address, socklen_t length) {
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
  int rc = ::connect(fd, address, length);
  if (rc < 0 && errno != EINPROGRESS) return false;
  if (rc < 0) {
    struct pollfd wait_for {
      fd, POLLOUT, 0
    };
    if (poll(&wait_for, 1, kConnectLimitSeconds * 1000) != 1) return false;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) < 0 || error != 0) return false;
  }
  return fcntl(fd, F_SETFL, flags) == 0;
}

int connect_to_consumer(const std::string& host, const std::string& port_text) {
  struct addrinfo hints {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  struct addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port_text.c_str(), &hints, &found) != 0) {
    trace("sock = %d\n", -1);
    return -1;
  }
  int connected = -1;
  for (struct addrinfo* a = found; a != nullptr && connected < 0; a = a->ai_next) {
    UniqueFd fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
    if (!fd.valid()) {
      trace("%s: socket error\n", "Connect");
      continue;
    }
    if (connect_within_limit(fd.get(), a->ai_addr, a->ai_addrlen)) {
      connected = fd.release();
    } else {
      trace("%s: connect error\n", "Connect");
    }
  }
  freeaddrinfo(found);
  if (connected < 0) trace("%s: failed to connect\n", "Connect");
  trace("sock = %d\n", connected);
  return connected;
}

static void limit_waits(int fd) {
  struct timeval limit {
    kReplyLimitSeconds, 0
  };
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

static ssize_t send_all(int fd, const std::string& data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    sent += size_t(n);
  }
  return ssize_t(sent);
}

static void deliver_one(const PushJob& job, const EventMessage& message) {
  UniqueFd fd(connect_to_consumer(job.host, job.port_text));
  if (!fd.valid()) return;
  limit_waits(fd.get());
  std::string body = format_notify_body(job.camera, message);
  std::string head = format_notify_head(job.path, job.host, job.port, int(body.size()));
  send_all(fd.get(), head);
  trace("sending %d bytes\n", int(body.size()));
  if (send_all(fd.get(), body) < ssize_t(body.size())) {
    trace("send failed");
  } else {
    char reply[2000];
    if (::recv(fd.get(), reply, sizeof reply - 1, 0) <= 0) trace("recv failed");
  }
  trace("sent status\n");
}

void deliver_notifies(const PushJob& job, const std::atomic<bool>& stop) {
  for (const EventMessage& message : job.messages) {
    if (stop.load()) return;
    deliver_one(job, message);
  }
}

}  // namespace nvtd
