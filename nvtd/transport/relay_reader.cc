// Relay message reader: each header, the pid, the ENV counts and each chunk length are read
// in one piece; the ENV text and chunk data may arrive in pieces. Once a request has begun,
// no wait for its next bytes lasts longer than the caller's bound or the forwarder's life.
#include "nvtd/transport/relay_reader.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "nvtd/soap/writers.h"
#include "nvtd/transport/http_io.h"
#include "nvtd/transport/relay_protocol.h"
#include "nvtd/transport/request_env.h"

namespace nvtd {
namespace {

// What waiting for input came to.
enum class Wait { kReadable, kTimedOut, kFailed };

// Waits until fd has input (or end-of-file) for at most wait.ms; a negative bound waits for
// ever. Input still waiting is read before a peer that is gone ends the wait (kTimedOut).
// kFailed (a signal, say) is reported by the caller as the read's own failure.
Wait wait_for_input(int fd, const RelayWait& wait) {
  if (wait.ms < 0) return Wait::kReadable;
  pollfd watched[2] = {{fd, POLLIN, 0}, {wait.peer_fd, 0, 0}};
  int ready = poll(watched, wait.peer_fd >= 0 ? 2 : 1, wait.ms);
  if (ready < 0) return Wait::kFailed;
  if (watched[0].revents != 0) return Wait::kReadable;
  return Wait::kTimedOut;  // nothing within the bound, or the forwarder's end is gone
}

// One read of exactly size bytes: 0, -1 for anything shorter (a protocol error), or
// kRelayCutShort when nothing came within the bound.
int read_piece(int fd, void* out, size_t size, const RelayWait& wait) {
  Wait ready = wait_for_input(fd, wait);
  if (ready == Wait::kTimedOut) return kRelayCutShort;
  if (ready == Wait::kFailed) return -1;
  return read(fd, out, size) == ssize_t(size) ? 0 : -1;
}

// Reads up to size bytes of text or data that may come in pieces: the count read (0 or less
// ends the piece early, as a read would), or kRelayCutShort when nothing came within the bound.
ssize_t read_some(int fd, void* out, size_t size, const RelayWait& wait) {
  Wait ready = wait_for_input(fd, wait);
  if (ready == Wait::kTimedOut) return kRelayCutShort;
  if (ready == Wait::kFailed) return -1;
  return read(fd, out, size);
}

// Reads a header and checks its type; prints the messages of a bad one.
int read_header(int fd, int32_t wanted, const char* wanted_name, const RelayWait& wait) {
  relay::MessageHeader header;
  int got = read_piece(fd, &header, sizeof header, wait);
  if (got == kRelayCutShort) return got;
  if (got < 0) {
    fprintf(stderr, "Error reading request; discarding\n");
    return -1;
  }
  if (header.type != wanted) {
    fprintf(stderr, "got unexpected fifo message %d, needed %s\n", header.type, wanted_name);
    return -1;
  }
  return 0;
}

// Reads one chunk's data into body at received: the count read (fewer when a read ends it
// early), or kRelayCutShort.
int32_t read_chunk_data(int fd, std::string& body, int32_t received, int32_t chunk,
                        const RelayWait& wait) {
  int32_t got = 0;
  while (got < chunk) {
    ssize_t n = read_some(fd, &body[size_t(received + got)], size_t(chunk - got), wait);
    if (n == kRelayCutShort) return kRelayCutShort;
    if (n <= 0) break;
    got += int32_t(n);
    printf("read %d\n", int(n));
  }
  return got;
}

int content_failed(Reply& reply) {
  send_text(reply, "bogus content");
  return -1;
}

}  // namespace

int relay_read_open(int fd, int32_t* pid, RelayWait wait) {
  // The wait for a request to begin has no bound.
  if (read_header(fd, relay::kOpen, "OPEN", RelayWait(-1)) < 0) return -1;
  relay::OpenPayload open;
  int got = read_piece(fd, &open, sizeof open, wait);
  if (got == kRelayCutShort) return got;
  if (got < 0) {
    fprintf(stderr, "Error reading open request; discarding\n");
    return -1;
  }
  *pid = open.pid;
  return 0;
}

int relay_read_env(int fd, std::string* text, RelayWait wait) {
  int got = read_header(fd, relay::kEnv, "ENV", wait);
  if (got < 0) return got;
  relay::EnvCounts counts;
  got = read_piece(fd, &counts, sizeof counts, wait);
  if (got == kRelayCutShort) return got;
  if (got < 0) {
    fprintf(stderr, "Error reading env request; discarding\n");
    return -1;
  }
  printf("reading %d lines, %d bytes of env\n", counts.lines, counts.bytes);
  if (counts.bytes < 0 || counts.bytes > relay::kMaxEnvBytes) {
    fprintf(stderr, "Error reading env request; discarding\n");
    return -1;
  }
  text->assign(size_t(counts.bytes), '\0');
  size_t done = 0;
  while (done < size_t(counts.bytes)) {
    ssize_t n = read_some(fd, &(*text)[done], size_t(counts.bytes) - done, wait);
    if (n == kRelayCutShort) return kRelayCutShort;
    if (n <= 0) break;
    done += size_t(n);
    printf("read %d of env\n", int(n));
  }
  text->resize(done);
  printf("env=\n%s\n", env_text_for_trace(*text).c_str());
  return 0;
}

int relay_read_content(int fd, Request* request, Reply& reply, RelayWait wait) {
  int header = read_header(fd, relay::kContent, "CONTENT", wait);
  if (header < 0) return header;
  int32_t length = checked_content_length(*request, reply);
  if (length < 0) return content_failed(reply);
  printf("content length = %d\n", length);
  std::string& body = request->body;
  body.assign(size_t(length), '\0');
  int32_t received = 0;
  while (received < length) {
    printf("reading header");
    relay::ChunkLength chunk;
    int piece = read_piece(fd, &chunk, sizeof chunk, wait);
    if (piece == kRelayCutShort) return kRelayCutShort;
    if (piece < 0) {
      printf("Error reading request; discarding");
      return content_failed(reply);
    }
    printf("reading %d bytes of content\n", chunk);
    if (chunk < 0 || chunk > length - received) {
      printf("%s: read length is past content length!\n", "fifo_read_content");
      return content_failed(reply);
    }
    int32_t got = read_chunk_data(fd, body, received, chunk, wait);
    if (got == kRelayCutShort) return kRelayCutShort;
    received += got;
  }
  body.resize(size_t(received));
  return 0;
}

size_t relay_drain(int fd, int quiet_ms) {
  char buffer[4096];
  size_t dropped = 0;
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  while (dropped < kRelayDrainLimit && wait_for_input(fd, RelayWait(quiet_ms)) == Wait::kReadable) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    dropped += size_t(n);
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    if ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000 >=
        kRelayWaitMs) {
      break;  // a writer that never stops: what comes later is read as requests and dropped
    }
  }
  return dropped;
}

}  // namespace nvtd
