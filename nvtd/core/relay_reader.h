// Server side of the relay protocol: reads one request's OPEN, ENV and CONTENT messages from
// the server FIFO. Every function takes the descriptor it reads, so tests can use pipes.
#pragma once

#include <cstdint>
#include <string>

namespace nvtd {

// Reads the OPEN message; *pid is the forwarder's process id. 0, or -1 after the message
// (bad header, short pid, or another type).
int relay_read_open(int fd, int32_t* pid);

// Reads the ENV message's header, counts and text into *text. 0, or -1 after the message.
int relay_read_env(int fd, std::string* text);

// Reads the CONTENT message into RequestBody / ContentLength, taking the length from
// CONTENT_LENGTH. 0, or -1 after the message and "bogus content".
int relay_read_content(int fd);

}  // namespace nvtd
