// Persistent mode: the server FIFO "/tmp/nvtd_sv" and the loop step that serves one relayed
// request on the forwarder's reply FIFO.
#pragma once

#include <string>

#include "common/unique_fd.h"
#include "nvtd/core/operation_table.h"
#include "nvtd/core/relay_reader.h"

namespace nvtd {

struct RelayState {
  UniqueFd server_fifo;  // read end of /tmp/nvtd_sv
  UniqueFd keep_open;    // a write end nobody uses, so reads never see end-of-file
  UniqueFd client_fifo;  // write end of the current reply FIFO
  std::string client_name;
  int wait_ms = kRelayWaitMs;  // bound on each wait inside a request that has begun
};

// How long the server waits for a forwarder to have its reply FIFO open for reading.
inline constexpr int kReplyFifoWaitMs = 5000;

// The --persist step: creates /tmp/nvtd_sv (an existing FIFO is fine), opens it for reading
// (waiting for a first writer) and once more for writing, ignores SIGPIPE. Prints the
// messages; returns 0, or -1 after the C library's error text.
int start_persist(RelayState* state, const char* fifo_path);

// Opens a reply FIFO for writing, waiting at most timeout_ms for its reader. The descriptor,
// or -1 with errno set (ETIMEDOUT when no reader came).
int open_reply_fifo(const char* name, int timeout_ms);

// One iteration of the persistent loop: OPEN, reply FIFO, ENV, CONTENT, dispatch, close.
// 0 to go on, -1 on a relay protocol error (the server then shuts down). A request whose
// forwarder stopped sending half-way is dropped unanswered and the loop goes on.
int serve_relay_request(RelayState* state, const OperationTable& operations);

// Closes the current reply FIFO, printing "close fifo %s\n".
void close_client_fifo(RelayState* state);

}  // namespace nvtd
