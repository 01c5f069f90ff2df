// The consumer table shared by the request loop and audio_thread.
#include "soundtap/audio_stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace soundtap {

AudioStream Stream;
std::mutex ConsumerLock;
std::atomic<int> Quit{0};

void reset_audio_stream() {
  std::lock_guard<std::mutex> lock(ConsumerLock);
  Stream.count = 0;
  Stream.thread = pthread_t{};
  for (ConsumerSlot& slot : Stream.slots) slot = ConsumerSlot{};
}

int find_free_slot() {
  for (int i = 0; i < kMaxConsumers; ++i) {
    if (Stream.slots[i].fd <= 0) return i;
  }
  return -1;
}

bool has_consumer_fifo(dev_t dev, ino_t ino) {
  for (const ConsumerSlot& slot : Stream.slots) {
    struct stat st;
    if (slot.fd > 0 && fstat(slot.fd, &st) == 0 && st.st_dev == dev && st.st_ino == ino) {
      return true;
    }
  }
  return false;
}

int32_t fill_slot(int index, int fd, const std::string& path) {
  ConsumerSlot& slot = Stream.slots[index];
  const std::string kept = path.substr(0, kSlotPathChars);
  memcpy(slot.path, kept.c_str(), kept.size() + 1);
  slot.stalled = false;
  slot.fd = fd;
  return ++Stream.count;
}

void wait_for_consumer() {
  std::unique_lock<std::mutex> lock(Stream.mutex);
  while (!Quit && Stream.count == 0) Stream.cond.wait(lock);
}

void wake_audio_thread() {
  std::lock_guard<std::mutex> lock(Stream.mutex);
  Stream.cond.notify_one();
}

}  // namespace soundtap
