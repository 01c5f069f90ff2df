// Server mode: the listening socket and the loop that serves one request per connection.
#pragma once

#include "nvtd/core/operation_table.h"

namespace nvtd {

// How long an accepted connection may take to send its head, and each later read or write.
inline constexpr int kConnectionTimeoutMs = 5000;
// How long the whole body may take after the head (the largest body is 50000 bytes).
inline constexpr int kBodyTimeoutMs = 10000;
// How long the loop waits for a connection before it looks at StopRequested again.
inline constexpr int kAcceptWaitSeconds = 5;

// Opens the listening socket on HttpPort (any address, SO_REUSEADDR, backlog 5). The
// descriptor, or -1 after the messages.
int open_listen_socket();

// Serves connections until StopRequested or the listening socket fails.
void run_server_loop(int listen_fd, const OperationTable& operations);

// Serves one accepted connection: head, body, dispatch, close (unless handed over).
void serve_connection(int connection_fd, const OperationTable& operations);

}  // namespace nvtd
