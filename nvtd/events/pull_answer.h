// Answers written on held PullMessages connections (or relay reply FIFOs): the head, the
// envelope opening and a body, put together and written in one piece without waiting (a
// connection that cannot take the answer at once counts as failed), so that the table lock
// is never held across a blocked write.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "nvtd/events/consumer_pass.h"
#include "nvtd/events/subscription_table.h"

namespace nvtd {

// Writes head, EnvelopeOpening and body on the connection as one write; the Content-Length
// counts the opening and the body. relay: the connection is a relay reply FIFO (non-blocking,
// SIGPIPE ignored) and the head is the relay mode's, without a status line. Returns the bytes
// sent, or -1 when the write failed.
int write_pull_response(int connection, const std::string& body, bool relay = false);

// The answer carrying messages on one slot.
int send_pull_response_messages(const SubscriptionTable& table, int index, int slot,
                                const std::vector<EventMessage>& messages, std::time_t now);

// The empty answer of a slot whose Timeout has passed.
int send_pull_response_empty(const SubscriptionTable& table, int index, int slot, std::time_t now);

// The pass's connections are real sockets or reply FIFOs.
class SocketPassIo : public PassIo {
 public:
  int send_messages(const SubscriptionTable& table, int index, int slot,
                    const std::vector<EventMessage>& messages, std::time_t now) override;
  int send_empty(const SubscriptionTable& table, int index, int slot, std::time_t now) override;
  void close_connection(int fd) override;
};

}  // namespace nvtd
