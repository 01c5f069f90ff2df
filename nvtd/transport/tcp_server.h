// Server mode: the listening socket and the loop that reads many connections at once and hands
// their complete requests to the dispatcher one at a time (one request per connection).
#pragma once

#include "nvtd/core/dispatcher.h"

namespace nvtd {

// How long an accepted connection may take to send its whole request (head and body, at most
// 52,048 bytes), and each write of its response.
inline constexpr int kConnectionTimeoutMs = 5000;
// The longest the loop waits before it looks at StopRequested again.
inline constexpr int kAcceptWaitSeconds = 5;
inline constexpr int kListenBacklog = 128;
// Connections taken from the listen queue each time it is readable.
inline constexpr int kAcceptsPerRound = 16;

// Opens the listening socket on port (any address, SO_REUSEADDR, backlog kListenBacklog).
// The descriptor, or -1 after the messages.
int open_listen_socket(int port);

// Makes a connection blocking, with kConnectionTimeoutMs for each read and write: for a
// handler that may keep it (PullMessages). Other answers are written to the non-blocking
// connection, waiting at most kConnectionTimeoutMs for it to take more.
void make_connection_blocking(int fd);

// Serves connections until StopRequested or poll fails. A request goes to the dispatcher once
// it has arrived whole; a held PullMessages connection leaves the loop with its handler.
void run_server_loop(int listen_fd, const Dispatcher& dispatch);

}  // namespace nvtd
