// Registration of a consumer: open its FIFO, fill a slot, start capture for the first one.
#include "soundtap/consumer_fifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>

#include "soundtap/audio_pipe.h"
#include "soundtap/audio_stream.h"
#include "soundtap/log.h"

namespace soundtap {
namespace {

void SleepMs(int ms) {
  struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
}

// A free slot holds 0: a FIFO that came out as descriptor 0 moves up.
int AvoidZero(int fd) {
  if (fd != 0) return fd;
  const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
  close(fd);
  return moved;
}

}  // namespace

UniqueFd OpenConsumerFifo(const std::string& path) {
  for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
    log_message("opening %s...\n", path.c_str());
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.valid()) {
      // The daemon writes whatever it opened: a regular file or a device named by mistake
      // would be overwritten with audio, so only a FIFO is kept.
      struct stat st;
      if (fstat(fd.get(), &st) != 0 || !S_ISFIFO(st.st_mode)) {
        log_message("%s is not a FIFO, refused\n", path.c_str());
        return UniqueFd();
      }
      return UniqueFd(AvoidZero(fd.release()));
    }
    const int err = errno;
    if (err != ENXIO) {
      log_message("open %s failed with %d\n", path.c_str(), err);
      return UniqueFd();
    }
    if (attempt < kOpenAttempts) {
      log_message("ENXIO... try again\n");
      SleepMs(kOpenRetryMs);
    } else {
      log_message("ENXIO, attempts expired\n");
      log_message("open %s failed with %d", path.c_str(), err);
    }
  }
  return UniqueFd();
}

int RegisterConsumer(const std::string& path, const Settings& settings) {
  {
    std::lock_guard<std::mutex> lock(ConsumerLock);
    if (Stream.count > kMaxConsumers - 1) return -1;
  }
  UniqueFd fd = OpenConsumerFifo(path);
  if (!fd.valid()) return -1;
  log_message("opened %s\n", path.c_str());
  std::lock_guard<std::mutex> lock(ConsumerLock);
  const int index = FindFreeSlot();
  if (index < 0) return -1;  // only audio_thread frees slots meanwhile, never fills them
  log_message("new slot %d\n", index);
  const int32_t count = FillSlot(index, fd.release(), path);
  log_message("consumers to %d\n", count);
  if (count == 1) {
    AudioPipeOpen(settings.encoding, settings.sample_rate, settings.bitrate);
    log_message("starting audio thread\n");
    WakeAudioThread();
  }
  return index;
}

}  // namespace soundtap
