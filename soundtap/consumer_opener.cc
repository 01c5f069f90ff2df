// Registration of consumers: check, duplicate refusal, open attempts driven by the request
// loop, the slot, and capture for the first consumer.
#include "soundtap/consumer_opener.h"

#include <algorithm>
#include <cerrno>

#include "soundtap/audio_pipe.h"
#include "soundtap/audio_stream.h"
#include "soundtap/log.h"

namespace soundtap {

void ConsumerOpener::Request(const std::string& path, int64_t now_ms) {
  {
    std::lock_guard<std::mutex> lock(ConsumerLock);
    if (Stream.count > kMaxConsumers - 1) return;
  }
  Waiting w;
  if (!check_consumer_path(path, &w.fifo)) return;
  bool registered;
  {
    std::lock_guard<std::mutex> lock(ConsumerLock);
    registered = has_consumer_fifo(w.fifo.dev, w.fifo.ino);
  }
  if (registered || IsWaiting(w.fifo)) {
    log_message("%s is already registered, refused\n", path.c_str());
    return;
  }
  if (!Attempt(w, now_ms)) waiting_.push_back(std::move(w));
}

void ConsumerOpener::RetryDue(int64_t now_ms) {
  std::vector<Waiting> still;
  for (Waiting& w : waiting_) {
    if (w.due_ms > now_ms || !Attempt(w, now_ms)) still.push_back(std::move(w));
  }
  waiting_.swap(still);
}

int64_t ConsumerOpener::NextDueMs() const {
  int64_t next = -1;
  for (const Waiting& w : waiting_) {
    if (next < 0 || w.due_ms < next) next = w.due_ms;
  }
  return next;
}

bool ConsumerOpener::Attempt(Waiting& w, int64_t now_ms) {
  const char* path = w.fifo.path.c_str();
  log_message("opening %s...\n", path);
  ++w.attempts;
  UniqueFd fd = open_checked_fifo(w.fifo);
  if (fd.valid()) {
    Register(w.fifo, std::move(fd));
    return true;
  }
  const int err = errno;
  if (err != ENXIO) {
    log_message("open %s failed with %d\n", path, err);
    return true;
  }
  if (w.attempts < kOpenAttempts) {
    log_message("ENXIO... try again\n");
    w.due_ms = now_ms + kOpenRetryMs;
    return false;
  }
  log_message("ENXIO, attempts expired\n");
  log_message("open %s failed with %d", path, err);
  return true;
}

void ConsumerOpener::Register(const CheckedFifo& fifo, UniqueFd fd) {
  const char* path = fifo.path.c_str();
  log_message("opened %s\n", path);
  std::lock_guard<std::mutex> lock(ConsumerLock);
  // Slots filled meanwhile by FIFOs that found their reader sooner.
  const int index = find_free_slot();
  if (index < 0) {
    log_message("no free slot for %s\n", path);
    return;
  }
  log_message("new slot %d\n", index);
  const int32_t count = fill_slot(index, fd.release(), fifo.path);
  log_message("consumers to %d\n", count);
  if (count == 1) {
    audio_pipe_open(settings_.encoding, settings_.sample_rate, settings_.bitrate);
    log_message("starting audio thread\n");
    wake_audio_thread();
  }
}

bool ConsumerOpener::IsWaiting(const CheckedFifo& fifo) const {
  return std::any_of(waiting_.begin(), waiting_.end(), [&](const Waiting& w) {
    return w.fifo.dev == fifo.dev && w.fifo.ino == fifo.ino;
  });
}

}  // namespace soundtap
