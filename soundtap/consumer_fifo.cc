// A consumer's FIFO: checked without being opened, then opened for writing as the very
// object checked.
#include "soundtap/consumer_fifo.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "soundtap/log.h"

namespace soundtap {
namespace {

// A free slot holds 0: a FIFO that came out as descriptor 0 moves up.
int avoid_zero(int fd) {
  if (fd != 0) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
  const int err = errno;
  close(fd);
  errno = err;
  return moved;
}

}  // namespace

bool check_consumer_path(const std::string& path, CheckedFifo* fifo) {
  UniqueFd object(open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (!object.valid()) {
    log_message("open %s failed with %d\n", path.c_str(), errno);
    return false;
  }
  // The daemon writes whatever it opens, and opening a device may act by itself: anything
  // but a FIFO (a link to one included) is refused before it is opened.
  struct stat st;
  if (fstat(object.get(), &st) != 0 || !S_ISFIFO(st.st_mode)) {
    log_message("%s is not a FIFO, refused\n", path.c_str());
    return false;
  }
  fifo->path = path;
  fifo->object = std::move(object);
  fifo->dev = st.st_dev;
  fifo->ino = st.st_ino;
  return true;
}

UniqueFd open_checked_fifo(const CheckedFifo& fifo) {
  const std::string proc_path = "/proc/self/fd/" + std::to_string(fifo.object.get());
  const int fd = open(proc_path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return UniqueFd();
  return UniqueFd(avoid_zero(fd));
}

}  // namespace soundtap
