// The control queues: requests arrive on "/sndq" (read once a second), "getinfo" replies
// leave on "/sndqr". soundtap makes both itself: a queue of another owner is replaced.
#ifndef SOUNDTAP_CONTROL_QUEUE_H_
#define SOUNDTAP_CONTROL_QUEUE_H_

#include <mqueue.h>

#include <string>

#include "soundtap/consumer_opener.h"
#include "soundtap/options.h"

namespace soundtap {

constexpr const char* kRequestQueue = "/sndq";
constexpr const char* kReplyQueue = "/sndqr";
constexpr long kQueueMessages = 50;
constexpr long kQueueMessageBytes = 2048;
constexpr int kRequestPollMs = 1000;

struct ControlQueues {
  mqd_t request = static_cast<mqd_t>(-1);
  mqd_t reply = static_cast<mqd_t>(-1);
};

// Opens both queues, creating them when absent. An existing queue is kept only when it is
// this user's, closed to everyone else and of the sizes above (an earlier soundtap's, with
// its queued requests and the peers that hold it open); any other is removed and made
// afresh, with a log line. While someone else makes them again each time, it keeps trying:
// a few tries a round, a log line and a pause (50 ms, doubling up to 1 s) after each round,
// until it has both or the quit flag is set. A call that fails in a round where someone
// else held a name ends that round only. Returns -1 on quit, or (logged) when creating a
// queue failed in three rounds in a row with nobody else at the names.
int open_control_queues(ControlQueues* queues);

// Logs, tokenises and carries out one request text.
void handle_request(const std::string& text, const ControlQueues& queues, const Settings& settings,
                    ConsumerOpener* opener);

// The request loop: until the quit flag is set, handles every queued request, then for a
// second makes the open attempts of the consumers that wait for their reader.
void check_req_fifo(const ControlQueues& queues, const Settings& settings);

}  // namespace soundtap

#endif  // SOUNDTAP_CONTROL_QUEUE_H_
