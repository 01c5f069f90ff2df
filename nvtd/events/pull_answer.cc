// Answers written on held PullMessages connections (see pull_answer.h).
#include "nvtd/events/pull_answer.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string_view>

#include "nvtd/core/reply.h"
#include "nvtd/events/event_messages.h"
#include "nvtd/soap/envelope.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

// Sends all of data at once or fails; never waits for the peer.
static ssize_t send_now(int connection, std::string_view data, bool relay) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n = relay ? ::write(connection, data.data() + sent, data.size() - sent)
                      : ::send(connection, data.data() + sent, data.size() - sent,
                               MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    sent += size_t(n);
  }
  return ssize_t(sent);
}

int write_pull_response(int connection, const std::string& body, bool relay) {
  if (relay) {
    Reply framed(-1, RunMode::kRelay);  // the relay mode's head, as for any of its answers
    send_body_text(framed, body);
    return int(send_now(connection, framed.text(), true));
  }
  int length = int(kEnvelopeOpeningLength + body.size());
  std::string answer = format_pull_head(length, std::time(nullptr));
  answer.append(EnvelopeOpening, kEnvelopeOpeningLength);
  answer += body;
  return int(send_now(connection, answer, false));
}

int send_pull_response_messages(const SubscriptionTable& table, int index, int slot,
                                const std::vector<EventMessage>& messages, std::time_t now) {
  const Subscription& entry = table.entries[index];
  const PullerSlot& puller = entry.pullers[slot];
  PullAnswerFields fields;
  fields.message_id_header = puller.message_id_header;
  fields.index = index;
  fields.now = now;
  fields.termination = entry.expiry;
  CameraUrl camera{table.camera_address, table.http_port};
  return write_pull_response(puller.connection, format_pull_messages_body(camera, fields, messages),
                             puller.relay);
}

int send_pull_response_empty(const SubscriptionTable& table, int index, int slot, std::time_t now) {
  const PullerSlot& puller = table.entries[index].pullers[slot];
  CameraUrl camera{table.camera_address, table.http_port};
  return write_pull_response(
      puller.connection,
      format_pull_empty_body(camera, puller.message_id_header, now, table.entries[index].expiry),
      puller.relay);
}

int SocketPassIo::send_messages(const SubscriptionTable& table, int index, int slot,
                                const std::vector<EventMessage>& messages, std::time_t now) {
  return send_pull_response_messages(table, index, slot, messages, now);
}

int SocketPassIo::send_empty(const SubscriptionTable& table, int index, int slot, std::time_t now) {
  return send_pull_response_empty(table, index, slot, now);
}

void SocketPassIo::close_connection(int fd) {
  if (fd < 0) return;
  ::shutdown(fd, SHUT_WR);  // the answer goes out whole before the connection ends (sockets)
  ::close(fd);
}

}  // namespace nvtd
