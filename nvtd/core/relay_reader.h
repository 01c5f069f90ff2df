// Server side of the relay protocol: reads one request's OPEN, ENV and CONTENT messages from
// the server FIFO. Every function takes the descriptor it reads, so tests can use pipes.
#pragma once

#include <cstdint>
#include <string>

#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// Once a request's OPEN header has arrived, every wait for its next bytes (the rest of the
// OPEN message, ENV, CONTENT) lasts at most wait_ms; a forwarder that stopped half-way gives
// kRelayCutShort instead of a wait for ever. The wait for an OPEN header has no bound.
inline constexpr int kRelayWaitMs = 5000;
inline constexpr int kRelayCutShort = -2;

// Reads the OPEN message; *pid is the forwarder's process id. 0, kRelayCutShort, or -1 after
// the message (bad header, short pid, or another type).
int relay_read_open(int fd, int32_t* pid, int wait_ms = kRelayWaitMs);

// Reads the ENV message's header, counts and text into *text. 0, kRelayCutShort, or -1 after
// the message.
int relay_read_env(int fd, std::string* text, int wait_ms = kRelayWaitMs);

// Reads the CONTENT message into request->body, taking the length from the request's
// CONTENT_LENGTH. 0, kRelayCutShort (nothing sent), or -1 after the message and
// "bogus content".
int relay_read_content(int fd, Request* request, Reply& reply, int wait_ms = kRelayWaitMs);

}  // namespace nvtd
