// The relay protocol between a forwarder (a CGI program run by the web server) and the
// persistent nvtd: message layout, FIFO names and limits. Shared by both sides; all integers
// are 32-bit in native byte order, so 32-bit and 64-bit builds on one machine agree.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace nvtd::relay {

enum MessageType : int32_t { kOpen = 1, kEnv = 2, kContent = 3 };

// Every message begins with this header; the second word is not read by the server.
struct MessageHeader {
  int32_t type;
  int32_t unused;
};
static_assert(sizeof(MessageHeader) == 8, "relay header is 8 bytes");
static_assert(offsetof(MessageHeader, type) == 0, "the type is the first word");

// OPEN payload: the forwarder's process id, which names its reply FIFO.
struct OpenPayload {
  int32_t pid;
};
static_assert(sizeof(OpenPayload) == 4, "OPEN payload is 4 bytes");

// ENV payload: line count (only printed) and the byte count of the "NAME=value\n..." text
// that follows (no terminating NUL).
struct EnvCounts {
  int32_t lines;
  int32_t bytes;
};
static_assert(sizeof(EnvCounts) == 8, "ENV counts are 8 bytes");
static_assert(offsetof(EnvCounts, bytes) == 4, "the byte count is the second word");

// CONTENT: chunks, each this length word followed by that many bytes, until the lengths add
// up to CONTENT_LENGTH. A chunk of length 0 is allowed.
using ChunkLength = int32_t;

inline constexpr char kServerFifo[] = "/tmp/nvtd_sv";
inline constexpr mode_t kServerFifoMode = 0620;
// The reply FIFO of a forwarder: "/tmp/nvtd_cl.%ld" with its pid; fits 38 bytes.
inline constexpr char kClientFifoFormat[] = "/tmp/nvtd_cl.%ld";
inline constexpr size_t kClientFifoNameSize = 38;
// Forwarders hold this lock for a whole exchange, so that messages of two requests never
// interleave on the server FIFO.
inline constexpr char kRelayLock[] = "/tmp/nvtd_sv.lock";
// The largest ENV text the server accepts.
inline constexpr int32_t kMaxEnvBytes = 65536;
// The header, the pid, the counts and each chunk length are written with one write each;
// pipe writes of up to this size are never split.
inline constexpr size_t kAtomicWrite = 4096;

}  // namespace nvtd::relay
