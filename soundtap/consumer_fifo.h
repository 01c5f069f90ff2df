// Registration of a consumer: its FIFO is opened for writing (waiting a little for its
// reader), placed in the first free slot, and the first consumer opens capture and wakes
// audio_thread.
#ifndef SOUNDTAP_CONSUMER_FIFO_H_
#define SOUNDTAP_CONSUMER_FIFO_H_

#include <string>

#include "common/unique_fd.h"
#include "soundtap/options.h"

namespace soundtap {

constexpr int kOpenAttempts = 12;
constexpr int kOpenRetryMs = 50;

// Opens path write-only and non-blocking, up to kOpenAttempts times while it has no
// reader. Only FIFOs are accepted: anything else is closed unwritten and refused.
UniqueFd OpenConsumerFifo(const std::string& path);

// Handles "start audio PATH". Returns the slot index, or -1 when nothing was registered.
int RegisterConsumer(const std::string& path, const Settings& settings);

}  // namespace soundtap

#endif  // SOUNDTAP_CONSUMER_FIFO_H_
