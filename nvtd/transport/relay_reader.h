// Server side of the relay protocol: reads one request's OPEN, ENV and CONTENT messages from
// the server FIFO. Every function takes the descriptor it reads, so tests can use pipes.
#pragma once

#include <cstdint>
#include <string>

#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// Once a request's OPEN header has arrived, every wait for its next bytes (the rest of the
// OPEN message, ENV, CONTENT) lasts at most a short time; a forwarder that stopped half-way
// gives kRelayCutShort instead of a wait for ever. The wait for an OPEN header has no bound.
inline constexpr int kRelayWaitMs = 2000;
inline constexpr int kRelayCutShort = -2;

// The bound on each wait inside a request: ms (negative: none), and the forwarder's reply
// FIFO (-1: none) whose reader going away (the forwarder died) ends the wait at once.
struct RelayWait {
  RelayWait(int wait_ms = kRelayWaitMs, int reply_fd = -1) : ms(wait_ms), peer_fd(reply_fd) {}
  int ms;
  int peer_fd;
};

// Reads the OPEN message; *pid is the forwarder's process id. 0, kRelayCutShort, or -1 after
// the message (bad header, short pid, or another type).
int relay_read_open(int fd, int32_t* pid, RelayWait wait = {});

// Reads the ENV message's header, counts and text into *text. 0, kRelayCutShort, or -1 after
// the message.
int relay_read_env(int fd, std::string* text, RelayWait wait = {});

// Reads the CONTENT message into request->body, taking the length from the request's
// CONTENT_LENGTH. 0, kRelayCutShort (nothing sent), or -1 after the message and
// "bogus content".
int relay_read_content(int fd, Request* request, Reply& reply, RelayWait wait = {});

// Reads and drops what is waiting on fd until nothing more comes for quiet_ms (at most
// kRelayDrainLimit bytes, for at most kRelayWaitMs): the rest of a broken message. The count
// dropped.
inline constexpr int kRelayDrainQuietMs = 100;
inline constexpr size_t kRelayDrainLimit = 1 << 20;
size_t relay_drain(int fd, int quiet_ms = kRelayDrainQuietMs);

}  // namespace nvtd
