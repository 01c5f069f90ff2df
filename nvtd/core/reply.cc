// Reply: the pending response and its single write.
#include "nvtd/core/reply.h"

#include <errno.h>
#include <unistd.h>

namespace nvtd {

void write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data.remove_prefix(size_t(n));
  }
}

void Reply::flush() {
  if (fd_ < 0 || pending_.empty()) return;
  write_all(fd_, pending_);
  pending_.clear();
}

}  // namespace nvtd
