// What a chunk write to one consumer's FIFO means for that consumer: delivered, dropped
// because the FIFO is full (the stall is reported once), or the consumer is gone.
#ifndef SOUNDTAP_WRITE_DECISION_H_
#define SOUNDTAP_WRITE_DECISION_H_

#include <sys/types.h>

namespace soundtap {

enum class WriteOutcome {
  kDelivered,  // whole chunk written, consumer was keeping up
  kUnstalled,  // whole chunk written after a stall: report it, clear the flag
  kStalled,    // FIFO full, first time: report it, set the flag, drop the chunk
  kDropped,    // FIFO still full: drop the chunk silently
  kRemove,     // write failed otherwise, or short: free the slot
};

// written: the result of write(); err: errno after it; wanted: the chunk size.
WriteOutcome decide_write(ssize_t written, int err, size_t wanted, bool stalled);

}  // namespace soundtap

#endif  // SOUNDTAP_WRITE_DECISION_H_
