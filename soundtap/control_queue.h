// The control queues: requests arrive on "/sndq" (polled once a second), "getinfo"
// replies leave on "/sndqr".
#ifndef SOUNDTAP_CONTROL_QUEUE_H_
#define SOUNDTAP_CONTROL_QUEUE_H_

#include <mqueue.h>

#include <string>

#include "soundtap/options.h"

namespace soundtap {

constexpr const char* kRequestQueue = "/sndq";
constexpr const char* kReplyQueue = "/sndqr";
constexpr long kQueueMessages = 50;
constexpr long kQueueMessageBytes = 2048;

struct ControlQueues {
  mqd_t request = static_cast<mqd_t>(-1);
  mqd_t reply = static_cast<mqd_t>(-1);
};

// Opens (creating when absent) both queues; returns -1 when either fails.
int OpenControlQueues(ControlQueues* queues);

// Logs, tokenises and carries out one request text.
void HandleRequest(const std::string& text, const ControlQueues& queues, const Settings& settings);

// The request loop: until the quit flag is set, handles every queued request, then sleeps
// a second.
void CheckReqFifo(const ControlQueues& queues, const Settings& settings);

}  // namespace soundtap

#endif  // SOUNDTAP_CONTROL_QUEUE_H_
