// Relay message reader: each header, the pid, the ENV counts and each chunk length are read
// in one piece; the ENV text and chunk data may arrive in pieces. Once a request has begun,
// no wait for its next bytes lasts longer than the caller's bound.
#include "nvtd/core/relay_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cstdio>

#include "nvtd/core/http_io.h"
#include "nvtd/core/relay_protocol.h"
#include "nvtd/core/writers.h"

namespace nvtd {
namespace {

// What waiting for input came to.
enum class Wait { kReadable, kTimedOut, kFailed };

// Waits until fd has input (or end-of-file) for at most wait_ms; a negative bound waits for
// ever. kFailed (a signal, say) is reported by the caller as the read's own failure.
Wait wait_for_input(int fd, int wait_ms) {
  if (wait_ms < 0) return Wait::kReadable;
  pollfd input{fd, POLLIN, 0};
  int ready = poll(&input, 1, wait_ms);
  if (ready == 0) return Wait::kTimedOut;
  return ready > 0 ? Wait::kReadable : Wait::kFailed;
}

// One read of exactly size bytes: 0, -1 for anything shorter (a protocol error), or
// kRelayCutShort when nothing came within wait_ms.
int read_piece(int fd, void* out, size_t size, int wait_ms) {
  Wait wait = wait_for_input(fd, wait_ms);
  if (wait == Wait::kTimedOut) return kRelayCutShort;
  if (wait == Wait::kFailed) return -1;
  return read(fd, out, size) == ssize_t(size) ? 0 : -1;
}

// Reads up to size bytes of text or data that may come in pieces: the count read (0 or less
// ends the piece early, as a read would), or kRelayCutShort when nothing came within wait_ms.
ssize_t read_some(int fd, void* out, size_t size, int wait_ms) {
  Wait wait = wait_for_input(fd, wait_ms);
  if (wait == Wait::kTimedOut) return kRelayCutShort;
  if (wait == Wait::kFailed) return -1;
  return read(fd, out, size);
}

// Reads a header and checks its type; prints the messages of a bad one.
int read_header(int fd, int32_t wanted, const char* wanted_name, int wait_ms) {
  relay::MessageHeader header;
  int got = read_piece(fd, &header, sizeof header, wait_ms);
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
int32_t read_chunk_data(int fd, std::string& body, int32_t received, int32_t chunk, int wait_ms) {
  int32_t got = 0;
  while (got < chunk) {
    ssize_t n = read_some(fd, &body[size_t(received + got)], size_t(chunk - got), wait_ms);
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

int relay_read_open(int fd, int32_t* pid, int wait_ms) {
  // The wait for a request to begin has no bound.
  if (read_header(fd, relay::kOpen, "OPEN", -1) < 0) return -1;
  relay::OpenPayload open;
  int got = read_piece(fd, &open, sizeof open, wait_ms);
  if (got == kRelayCutShort) return got;
  if (got < 0) {
    fprintf(stderr, "Error reading open request; discarding\n");
    return -1;
  }
  *pid = open.pid;
  return 0;
}

int relay_read_env(int fd, std::string* text, int wait_ms) {
  int got = read_header(fd, relay::kEnv, "ENV", wait_ms);
  if (got < 0) return got;
  relay::EnvCounts counts;
  got = read_piece(fd, &counts, sizeof counts, wait_ms);
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
    ssize_t n = read_some(fd, &(*text)[done], size_t(counts.bytes) - done, wait_ms);
    if (n == kRelayCutShort) return kRelayCutShort;
    if (n <= 0) break;
    done += size_t(n);
    printf("read %d of env\n", int(n));
  }
  text->resize(done);
  printf("env=\n%s\n", text->c_str());
  return 0;
}

int relay_read_content(int fd, Request* request, Reply& reply, int wait_ms) {
  int header = read_header(fd, relay::kContent, "CONTENT", wait_ms);
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
    int piece = read_piece(fd, &chunk, sizeof chunk, wait_ms);
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
    int32_t got = read_chunk_data(fd, body, received, chunk, wait_ms);
    if (got == kRelayCutShort) return kRelayCutShort;
    received += got;
  }
  body.resize(size_t(received));
  return 0;
}

}  // namespace nvtd
