// Persistent mode: the server FIFO "/tmp/nvtd_sv", the relay lock, and the loop step that
// serves one relayed request on the forwarder's reply FIFO.
#pragma once

#include <sys/types.h>

#include <string>

#include "common/unique_fd.h"
#include "nvtd/core/dispatcher.h"
#include "nvtd/transport/relay_reader.h"

namespace nvtd {

struct RelayState {
  std::string server_name;  // path of the server FIFO
  std::string lock_name;    // path of the forwarders' lock file
  UniqueFd server_fifo;     // read end of the server FIFO
  UniqueFd keep_open;       // a write end nobody uses, so reads never see end-of-file
  UniqueFd client_fifo;     // write end of the current reply FIFO
  std::string client_name;
  pid_t client_pid = 0;        // the forwarder of the current reply FIFO
  int wait_ms = kRelayWaitMs;  // bound on each wait inside a request that has begun
};

// How long the server waits for a forwarder to have its reply FIFO open for reading.
inline constexpr int kReplyFifoWaitMs = 5000;

// The --persist step: makes the server FIFO at fifo_path and the forwarders' lock file at
// lock_path (anything of another user, or not of the right kind, is moved aside first, see
// path_claim.h; the FIFO gets relay::kServerFifoMode, the lock 0600), opens the FIFO for
// reading and once more for writing, ignores SIGPIPE. Forwarders may write to it once
// "persisting" is printed. Prints the messages; returns 0, or -1 after the C library's
// error text.
int start_persist(RelayState* state, const char* fifo_path, const char* lock_path);

// While nvtd reads a request it holds an exclusive flock on the server FIFO; a forwarder
// writes only while that lock is free and the FIFO empty (and it holds the relay lock), so
// the rest of a broken request can be told from the next one: it is all that is left.

// Opens the reply FIFO of forwarder pid for writing without following a link, waiting at most
// timeout_ms for its reader while that process lives. The descriptor, or -1 with errno set:
// ETIMEDOUT when no reader came, ESRCH when the forwarder is gone (its FIFO is removed, see
// remove_dead_reply_fifo), ELOOP for a link, EINVAL when the path is not a FIFO.
int open_reply_fifo(const char* name, pid_t pid, int timeout_ms);

// Removes name when forwarder pid is gone and name is a FIFO it made: of nvtd's user, not a
// link, no other name to it. Whether it was removed.
bool remove_dead_reply_fifo(const char* name, pid_t pid);

// One iteration of the persistent loop: OPEN, reply FIFO, ENV, CONTENT, dispatch, close.
// A request whose reply FIFO cannot be opened is still read to its end, then dropped. A
// request that breaks the protocol, or stops half-way (nothing more within the wait bound,
// or its forwarder gone), is dropped unanswered with whatever is left of it. The reply FIFO
// is the request's connection_fd: a handler that keeps it (DispatchOutcome::kHandedOver)
// answers and closes it later, and the loop goes on at once. 0 to go on; -1 when a stop was
// requested.
int serve_relay_request(RelayState* state, const Dispatcher& dispatch);

// Closes the current reply FIFO, printing "close fifo %s\n".
void close_client_fifo(RelayState* state);

}  // namespace nvtd
