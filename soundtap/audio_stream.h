// The consumer table shared by the request loop and audio_thread: six FIFO slots, the
// count, the consumer lock that guards them, the wake-up of audio_thread and the quit flag.
#ifndef SOUNDTAP_AUDIO_STREAM_H_
#define SOUNDTAP_AUDIO_STREAM_H_

#include <pthread.h>
#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace soundtap {

constexpr int kMaxConsumers = 6;
constexpr size_t kSlotPathChars = 47;

struct ConsumerSlot {
  int32_t fd = 0;  // the FIFO opened for writing; 0 or less: free
  char path[kSlotPathChars + 1] = {};
  bool stalled = false;  // set while the consumer's FIFO is full
};

struct AudioStream {
  // Written under ConsumerLock only; atomic so that the wake-up wait may read it.
  std::atomic<int32_t> count{0};
  pthread_t thread{};
  ConsumerSlot slots[kMaxConsumers];
  // Only carry the wake-up of audio_thread (lock order: ConsumerLock, then mutex).
  std::mutex mutex;
  std::condition_variable cond;
};

extern AudioStream Stream;
extern std::mutex ConsumerLock;  // guards Stream.slots and changes of Stream.count
extern std::atomic<int> Quit;    // set by the stop signals

// Zeroes the table (start-up, and between tests).
void reset_audio_stream();

// First free slot in index order, or -1. Caller holds ConsumerLock.
int find_free_slot();

// Whether a registered consumer's FIFO is the object dev/ino. Caller holds ConsumerLock.
bool has_consumer_fifo(dev_t dev, ino_t ino);

// Fills slot index with fd and the first 47 characters of path; returns the new count.
// Caller holds ConsumerLock.
int32_t fill_slot(int index, int fd, const std::string& path);

// Waits until a consumer is registered or the quit flag is set. Caller holds no lock.
void wait_for_consumer();

// Wakes wait_for_consumer. Called with ConsumerLock held after the count became non-zero.
void wake_audio_thread();

}  // namespace soundtap

#endif  // SOUNDTAP_AUDIO_STREAM_H_
