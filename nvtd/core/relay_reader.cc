// Relay message reader: each header, the pid, the ENV counts and each chunk length are read
// in one piece; the ENV text and chunk data may arrive in pieces.
#include "nvtd/core/relay_reader.h"

#include <unistd.h>

#include <cstdio>

#include "nvtd/core/http_io.h"
#include "nvtd/core/relay_protocol.h"
#include "nvtd/core/writers.h"

namespace nvtd {
namespace {

// One read of exactly size bytes; anything shorter is a protocol error.
bool read_piece(int fd, void* out, size_t size) {
  return read(fd, out, size) == ssize_t(size);
}

// Reads a header and checks its type; prints the messages of a bad one.
int read_header(int fd, int32_t wanted, const char* wanted_name) {
  relay::MessageHeader header;
  if (!read_piece(fd, &header, sizeof header)) {
    fprintf(stderr, "Error reading request; discarding\n");
    return -1;
  }
  if (header.type != wanted) {
    fprintf(stderr, "got unexpected fifo message %d, needed %s\n", header.type, wanted_name);
    return -1;
  }
  return 0;
}

int content_failed() {
  send_text("bogus content");
  return -1;
}

}  // namespace

int relay_read_open(int fd, int32_t* pid) {
  if (read_header(fd, relay::kOpen, "OPEN") < 0) return -1;
  relay::OpenPayload open;
  if (!read_piece(fd, &open, sizeof open)) {
    fprintf(stderr, "Error reading open request; discarding\n");
    return -1;
  }
  *pid = open.pid;
  return 0;
}

int relay_read_env(int fd, std::string* text) {
  if (read_header(fd, relay::kEnv, "ENV") < 0) return -1;
  relay::EnvCounts counts;
  if (!read_piece(fd, &counts, sizeof counts)) {
    fprintf(stderr, "Error reading env request; discarding\n");
    return -1;
  }
  printf("reading %d lines, %d bytes of env\n", counts.lines, counts.bytes);
  if (counts.bytes < 0 || counts.bytes > relay::kMaxEnvBytes) {
    fprintf(stderr, "Error reading env request; discarding\n");
    return -1;
  }
  text->assign(size_t(counts.bytes), '\0');
  size_t got = 0;
  while (got < size_t(counts.bytes)) {
    ssize_t n = read(fd, &(*text)[got], size_t(counts.bytes) - got);
    if (n <= 0) break;
    got += size_t(n);
    printf("read %d of env\n", int(n));
  }
  text->resize(got);
  printf("env=\n%s\n", text->c_str());
  return 0;
}

int relay_read_content(int fd) {
  if (read_header(fd, relay::kContent, "CONTENT") < 0) return -1;
  int32_t length = checked_content_length();
  if (length < 0) return content_failed();
  printf("content length = %d\n", length);
  RequestBody.assign(size_t(length), '\0');
  ContentLength = length;
  int32_t received = 0;
  while (received < length) {
    printf("reading header");
    relay::ChunkLength chunk;
    if (!read_piece(fd, &chunk, sizeof chunk)) {
      printf("Error reading request; discarding");
      return content_failed();
    }
    printf("reading %d bytes of content\n", chunk);
    if (chunk < 0 || chunk > length - received) {
      printf("%s: read length is past content length!\n", "fifo_read_content");
      return content_failed();
    }
    int32_t got = 0;
    while (got < chunk) {
      ssize_t n = read(fd, &RequestBody[size_t(received + got)], size_t(chunk - got));
      if (n <= 0) break;
      got += int32_t(n);
      printf("read %d\n", int(n));
    }
    received += got;
  }
  RequestBody.resize(size_t(received));
  ContentLength = received;
  return 0;
}

}  // namespace nvtd
