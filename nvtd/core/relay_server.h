// Persistent mode: the server FIFO "/tmp/nvtd_sv" and the loop step that serves one relayed
// request on the forwarder's reply FIFO.
#pragma once

#include <string>

#include "common/unique_fd.h"
#include "nvtd/core/operation_table.h"
#include "nvtd/core/relay_reader.h"

namespace nvtd {

struct RelayState {
  std::string server_name;  // path of the server FIFO
  UniqueFd server_fifo;     // read end of the server FIFO
  UniqueFd keep_open;       // a write end nobody uses, so reads never see end-of-file
  UniqueFd client_fifo;     // write end of the current reply FIFO
  std::string client_name;
  int wait_ms = kRelayWaitMs;  // bound on each wait inside a request that has begun
};

// How long the server waits for a forwarder to have its reply FIFO open for reading.
inline constexpr int kReplyFifoWaitMs = 5000;

// The --persist step: makes the server FIFO at fifo_path (anything there that is not a FIFO
// of this user is removed first; the FIFO gets relay::kServerFifoMode), opens it for reading
// and once more for writing, ignores SIGPIPE. Forwarders may write to it once "persisting"
// is printed. Prints the messages; returns 0, or -1 after the C library's error text.
int start_persist(RelayState* state, const char* fifo_path);

// Replaces the server FIFO by a new, empty one at the same path and opens that: bytes of a
// broken request left in the old one are gone, and forwarders still writing to the old one
// get EPIPE. 0, or -1 after the C library's error text.
int renew_server_fifo(RelayState* state);

// Opens a reply FIFO for writing without following a link, waiting at most timeout_ms for
// its reader. The descriptor, or -1 with errno set: ETIMEDOUT when no reader came, ELOOP for
// a link, EINVAL when the path is not a FIFO.
int open_reply_fifo(const char* name, int timeout_ms);

// One iteration of the persistent loop: OPEN, reply FIFO, ENV, CONTENT, dispatch, close.
// A request whose reply FIFO cannot be opened is still read to its end, then dropped. A
// request that stops half-way or breaks the protocol is dropped unanswered and the server
// FIFO made afresh. 0 to go on; -1 when a stop was requested or the FIFO could not be made.
int serve_relay_request(RelayState* state, const OperationTable& operations);

// Closes the current reply FIFO, printing "close fifo %s\n".
void close_client_fifo(RelayState* state);

}  // namespace nvtd
