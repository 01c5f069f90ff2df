// nvtd-forwarder: a CGI program that relays one request to the persistent nvtd. It creates
// its reply FIFO, sends OPEN, ENV and CONTENT on the server FIFO (holding the relay lock, so
// that two requests never interleave, and only once nvtd has read all before, so that the
// rest of a broken request is never taken for this one) and copies the reply to standard
// output until the server closes it. Exit status 0 when an answer was relayed, 1 otherwise.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/unique_fd.h"
#include "nvtd/transport/relay_protocol.h"

namespace {

namespace relay = nvtd::relay;

constexpr int kLockWaitMs = 30000;
// Longer than nvtd holds a PullMessages (60 s at most) before it answers.
constexpr int kReplyWaitMs = 75000;
constexpr long kMaxBody = 50000;

// The CGI variables handed over: what describes the request, nothing that steers a shell.
constexpr const char* kForwarded[] = {"REQUEST_METHOD",  "REQUEST_URI",  "CONTENT_TYPE",
                                      "HTTP_SOAPACTION", "QUERY_STRING", "REMOTE_ADDR",
                                      "REMOTE_PORT",     "SERVER_PORT",  "HTTP_HOST"};

void answer_error(const char* status, const char* text) {
  printf("Status: %s\r\nContent-Type: text/plain\r\n\r\n%s\n", status, text);
  fflush(stdout);
}

bool write_whole(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

void sleep_ms(long ms) {
  timespec ts = {ms / 1000, (ms % 1000) * 1000000};
  nanosleep(&ts, nullptr);
}

// Opens one of nvtd's paths in /tmp without following a link; only what root made, of the
// kind given and closed to others, is used (a local user's file there is nvtd's to move).
int open_roots(const char* path, int flags, mode_t kind) {
  UniqueFd fd(open(path, flags | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (!fd.valid() || fstat(fd.get(), &st) < 0) return -1;
  if ((st.st_mode & S_IFMT) != kind || st.st_uid != 0 || (st.st_mode & 002) != 0) return -1;
  return fd.release();
}

// Holds the relay lock (made by nvtd) for the exchange; false when it could not be had by
// the deadline.
bool take_relay_lock(UniqueFd* lock, long* waited) {
  lock->reset(open_roots(relay::kRelayLock, O_RDWR, S_IFREG));
  if (!lock->valid()) return false;
  for (; *waited < kLockWaitMs; *waited += 10) {
    if (flock(lock->get(), LOCK_EX | LOCK_NB) == 0) return true;
    sleep_ms(10);
  }
  return false;
}

// Waits (holding the relay lock) until nvtd reads no request and none waits in its FIFO:
// nvtd holds a flock on the FIFO while it reads one. False when that did not come by the
// deadline.
bool wait_until_idle(int server, long* waited) {
  for (; *waited < kLockWaitMs; *waited += 10) {
    int queued = 0;
    if (flock(server, LOCK_SH | LOCK_NB) == 0) {
      flock(server, LOCK_UN);
      if (ioctl(server, FIONREAD, &queued) == 0 && queued == 0) return true;
    }
    sleep_ms(10);
  }
  return false;
}

// The body from standard input: up to CONTENT_LENGTH bytes, fewer if the web server ends early.
std::string read_body(long length) {
  std::string body(size_t(length), '\0');
  size_t got = 0;
  while (got < body.size()) {
    ssize_t n = read(0, &body[got], body.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  body.resize(got);
  return body;
}

std::string env_text(size_t body_size, int* lines) {
  std::string text;
  *lines = 0;
  for (const char* name : kForwarded) {
    const char* value = getenv(name);
    if (value == nullptr || strchr(value, '\n') != nullptr) continue;
    text += std::string(name) + "=" + value + "\n";
    ++*lines;
  }
  // The length the chunks really add up to.
  text += "CONTENT_LENGTH=" + std::to_string(body_size);
  ++*lines;
  return text;
}

bool send_request(int fd, const std::string& env, int lines, const std::string& body) {
  struct {
    relay::MessageHeader header;
    relay::OpenPayload open;
  } open_message = {{relay::kOpen, 0}, {int32_t(getpid())}};
  struct {
    relay::MessageHeader header;
    relay::EnvCounts counts;
  } env_message = {{relay::kEnv, 0}, {int32_t(lines), int32_t(env.size())}};
  relay::MessageHeader content = {relay::kContent, 0};
  if (!write_whole(fd, &open_message, sizeof open_message)) return false;
  if (!write_whole(fd, &env_message, sizeof env_message)) return false;
  if (!write_whole(fd, env.data(), env.size())) return false;
  if (!write_whole(fd, &content, sizeof content)) return false;
  // Each chunk (length word and data) in one write no larger than a pipe's atomic size.
  constexpr size_t kChunk = relay::kAtomicWrite - sizeof(relay::ChunkLength);
  for (size_t at = 0; at < body.size(); at += kChunk) {
    size_t n = body.size() - at < kChunk ? body.size() - at : kChunk;
    std::string piece(sizeof(relay::ChunkLength), '\0');
    relay::ChunkLength length = relay::ChunkLength(n);
    memcpy(&piece[0], &length, sizeof length);
    piece.append(body, at, n);
    if (!write_whole(fd, piece.data(), piece.size())) return false;
  }
  return true;
}

// Copies the reply to standard output until the server closes the FIFO. False on timeout.
bool copy_reply(int fd) {
  char buffer[4096];
  bool any = false;
  for (;;) {
    pollfd p = {fd, POLLIN, 0};
    int r = poll(&p, 1, kReplyWaitMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return any;
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return true;
    if (!write_whole(1, buffer, size_t(n))) return false;
    any = true;
  }
}

int run() {
  signal(SIGPIPE, SIG_IGN);
  const char* length_text = getenv("CONTENT_LENGTH");
  long length = length_text != nullptr ? strtol(length_text, nullptr, 10) : 0;
  if (length < 1 || length > kMaxBody) {
    answer_error("400 Bad Request", "bogus content length!");
    return 1;
  }
  std::string body = read_body(length);
  if (body.empty()) {
    answer_error("400 Bad Request", "bogus content");
    return 1;
  }
  char name[relay::kClientFifoNameSize];
  snprintf(name, sizeof name, relay::kClientFifoFormat, long(getpid()));
  unlink(name);
  if (mkfifo(name, 0600) < 0) {
    answer_error("500 Internal Server Error", "cannot create reply fifo");
    return 1;
  }
  // Open for reading before OPEN is sent, so the server's open finds its reader at once.
  UniqueFd reply(open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  UniqueFd lock;
  UniqueFd server;
  bool sent = false;
  long waited = 0;
  if (reply.valid() && take_relay_lock(&lock, &waited)) {
    server.reset(open_roots(relay::kServerFifo, O_WRONLY | O_NONBLOCK, S_IFIFO));
    if (server.valid() && wait_until_idle(server.get(), &waited)) {
      fcntl(server.get(), F_SETFL, fcntl(server.get(), F_GETFL) & ~O_NONBLOCK);
      int lines = 0;
      std::string env = env_text(body.size(), &lines);
      sent = send_request(server.get(), env, lines, body);
    }
  }
  lock.reset();
  bool answered = sent && copy_reply(reply.get());
  reply.reset();
  unlink(name);
  if (!sent) {
    answer_error("502 Bad Gateway", "nvtd is not running");
    return 1;
  }
  return answered ? 0 : 1;
}

}  // namespace

int main() {
  return run();
}
