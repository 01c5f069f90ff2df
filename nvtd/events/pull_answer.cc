// Answers written on held PullMessages connections (see pull_answer.h).
#include "nvtd/events/pull_answer.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string_view>

#include "nvtd/core/envelope.h"
#include "nvtd/events/event_messages.h"

namespace nvtd {

// Sends all of data at once or fails; never waits for the peer.
static ssize_t send_now(int connection, std::string_view data) {
  size_t sent = 0;
  while (sent < data.size()) {
    ssize_t n =
        ::send(connection, data.data() + sent, data.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return -1;
    sent += size_t(n);
  }
  return ssize_t(sent);
}

int WritePullResponse(int connection, const std::string& body) {
  int length = int(kEnvelopeOpeningLength + body.size());
  std::string answer = format_pull_head(length, std::time(nullptr));
  answer.append(EnvelopeOpening, kEnvelopeOpeningLength);
  answer += body;
  return int(send_now(connection, answer));
}

int SendPullResponseMotion(const SubscriptionTable& table, int index, int slot, std::time_t now) {
  const Subscription& entry = table.entries[index];
  const PullerSlot& puller = entry.pullers[slot];
  PullMotionFields fields;
  fields.message_id_header = puller.message_id_header;
  fields.index = index;
  fields.now = now;
  fields.deadline = puller.deadline;
  fields.event_time = entry.event_time;
  fields.motion_state = entry.motion_state;
  CameraUrl camera{table.camera_address, table.http_port};
  return WritePullResponse(puller.connection, format_pull_motion_body(camera, fields));
}

int SendPullResponseEmpty(const SubscriptionTable& table, int index, int slot, std::time_t now) {
  const PullerSlot& puller = table.entries[index].pullers[slot];
  CameraUrl camera{table.camera_address, table.http_port};
  return WritePullResponse(
      puller.connection,
      format_pull_empty_body(camera, puller.message_id_header, now, puller.deadline));
}

int SocketPassIo::send_motion(const SubscriptionTable& table, int index, int slot,
                              std::time_t now) {
  return SendPullResponseMotion(table, index, slot, now);
}

int SocketPassIo::send_empty(const SubscriptionTable& table, int index, int slot, std::time_t now) {
  return SendPullResponseEmpty(table, index, slot, now);
}

void SocketPassIo::close_connection(int fd) {
  if (fd >= 0) ::close(fd);
}

}  // namespace nvtd
