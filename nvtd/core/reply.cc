// Reply: the pending response and its single write.
#include "nvtd/core/reply.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

namespace nvtd {

void write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A non-blocking connection: wait a bounded time for the client to take more.
      pollfd writable{fd, POLLOUT, 0};
      if (::poll(&writable, 1, kReplyWriteWaitMs) > 0) continue;
      return;
    }
    if (n <= 0) return;
    data.remove_prefix(size_t(n));
  }
}

void Reply::flush() {
  if (fd_ < 0 || pending_.empty()) return;
  write_all(fd_, pending_);
  pending_.clear();
  sent_ = true;
}

}  // namespace nvtd
