// Registration of consumers for the request loop: a checked FIFO is opened for writing and
// placed in the first free slot (the first consumer opens capture and wakes audio_thread);
// a FIFO without a reader yet waits here for its retries, which the loop drives, so no
// consumer holds up the requests of the others.
#ifndef SOUNDTAP_CONSUMER_OPENER_H_
#define SOUNDTAP_CONSUMER_OPENER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "soundtap/consumer_fifo.h"
#include "soundtap/options.h"

namespace soundtap {

constexpr int kOpenAttempts = 12;
constexpr int kOpenRetryMs = 50;

class ConsumerOpener {
 public:
  explicit ConsumerOpener(const Settings& settings) : settings_(settings) {}

  // Handles "start audio PATH" at now_ms (monotonic): nothing happens when six consumers are
  // registered; a path that fails the check, or names a FIFO registered or waiting already,
  // is refused with a log line; otherwise the first open attempt is made at once.
  void Request(const std::string& path, int64_t now_ms);

  // Makes the attempts due by now_ms; a FIFO still without a reader after kOpenAttempts
  // attempts, kOpenRetryMs apart, is given up.
  void RetryDue(int64_t now_ms);

  // When the next attempt is due, or -1 when no FIFO waits.
  int64_t NextDueMs() const;

 private:
  struct Waiting {
    CheckedFifo fifo;
    int attempts = 0;
    int64_t due_ms = 0;
  };

  // One attempt; returns whether the FIFO is done with (registered or given up).
  bool Attempt(Waiting& w, int64_t now_ms);
  void Register(const CheckedFifo& fifo, UniqueFd fd);
  bool IsWaiting(const CheckedFifo& fifo) const;

  Settings settings_;
  // Each waits at most kOpenAttempts × kOpenRetryMs, less than the second between two
  // reads of the request queue, so no more wait than one read takes (the queue's size).
  std::vector<Waiting> waiting_;
};

}  // namespace soundtap

#endif  // SOUNDTAP_CONSUMER_OPENER_H_
