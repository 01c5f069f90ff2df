// audio_thread: reads chunks from the capture pipe and hands each to every consumer FIFO.
// A full FIFO loses chunks without blocking anyone; a failed one is dropped.
#include "soundtap/audio_thread.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "soundtap/audio_pipe.h"
#include "soundtap/audio_stream.h"
#include "soundtap/log.h"
#include "soundtap/write_decision.h"

namespace soundtap {
namespace {

constexpr const char* kThreadName = "audio_thread";
uint8_t AudioBuffer[kAudioChunkBytes];

// Frees a slot whose write failed. Returns with ConsumerLock held (lock), after waiting
// for a new consumer without it when this was the last one.
void drop_consumer(ConsumerSlot& slot, ssize_t written, int n, int err,
                   std::unique_lock<std::mutex>& lock) {
  log_message("%s: only wrote %d of %d to fifo %s: error %d, %s", kThreadName,
              static_cast<int>(written), n, slot.path, err, strerror(err));
  close(slot.fd);
  slot.fd = 0;
  const int32_t left = --Stream.count;
  if (left > 0) {
    log_message("consumers to %d", left);
    return;
  }
  audio_pipe_close();
  log_message("%s: no more consumers, waiting...\n", kThreadName);
  lock.unlock();
  wait_for_consumer();
  log_message("%s: stream starting\n", kThreadName);
  lock.lock();
}

}  // namespace

void distribute_chunk(const uint8_t* chunk, int n) {
  std::unique_lock<std::mutex> lock(ConsumerLock);
  for (ConsumerSlot& slot : Stream.slots) {
    if (slot.fd <= 0) continue;
    const ssize_t written = write(slot.fd, chunk, static_cast<size_t>(n));
    const int err = written < 0 ? errno : 0;
    switch (decide_write(written, err, static_cast<size_t>(n), slot.stalled)) {
      case WriteOutcome::kDelivered:
      case WriteOutcome::kDropped:
        break;
      case WriteOutcome::kUnstalled:
        log_message("%s: pipe unstalled", kThreadName);
        slot.stalled = false;
        break;
      case WriteOutcome::kStalled:
        slot.stalled = true;
        log_message("%s: pipe is full, dropping data", kThreadName);
        break;
      case WriteOutcome::kRemove:
        drop_consumer(slot, written, n, err, lock);
        break;
    }
  }
}

void* audio_thread(void*) {
  log_message("enter %s\n", kThreadName);
  wait_for_consumer();
  log_message("%s: starting\n", kThreadName);
  while (!Quit) {
    const int n = audio_pipe_read(AudioBuffer, sizeof(AudioBuffer));
    if (n <= 0) {
      log_message("AudioPipeRead returned %d\n", n);
      continue;
    }
    distribute_chunk(AudioBuffer, n);
  }
  log_message("%s: thread stopping\n", kThreadName);
  return nullptr;
}

}  // namespace soundtap
