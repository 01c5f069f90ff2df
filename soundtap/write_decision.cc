// What a chunk write to one consumer's FIFO means for that consumer.
#include "soundtap/write_decision.h"

#include <cerrno>

namespace soundtap {

WriteOutcome decide_write(ssize_t written, int err, size_t wanted, bool stalled) {
  if (written >= 0 && static_cast<size_t>(written) == wanted) {
    return stalled ? WriteOutcome::kUnstalled : WriteOutcome::kDelivered;
  }
  if (written < 0 && (err == EAGAIN || err == EWOULDBLOCK)) {
    return stalled ? WriteOutcome::kDropped : WriteOutcome::kStalled;
  }
  return WriteOutcome::kRemove;
}

}  // namespace soundtap
