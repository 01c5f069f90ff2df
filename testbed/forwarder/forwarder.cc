// nvtd-forwarder: a CGI program that relays one request to the persistent nvtd. It takes one
// of the waiting places (none free: 503 at once), creates its reply FIFO, sends OPEN, ENV and
// CONTENT on the server FIFO (holding the relay lock, so that two requests never interleave,
// and only once nvtd has read all before, so that the rest of a broken request is never taken
// for this one) and copies the reply to standard output until the server closes it; when nvtd
// ends after it got the request and before it answered, a SOAP fault with 503. Exit status 0
// when an answer was relayed, 1 otherwise.
//
// Started for every request, so it is plain C library code (no C++ run-time, no heap), linked
// statically where the toolchain can: nothing to look up at start-up. Its reply FIFO goes with
// it on SIGTERM, SIGINT, SIGHUP and SIGPIPE; those signals wait while a request is written, so
// nvtd never gets half of one from a forwarder the web server stopped.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <utility>

#include "common/unique_fd.h"
#include "nvtd/transport/relay_protocol.h"

namespace {

namespace relay = nvtd::relay;

// The bound on waiting for the relay (the waiting place, the lock, nvtd idle) and sending.
constexpr unsigned kRelayWaitSeconds = 30;
// Longer than nvtd holds a PullMessages (60 s at most) before it answers.
constexpr int kReplyWaitMs = 75000;
constexpr long kMaxBody = 50000;
// Forwarders waiting for the relay or sending at one time: one byte-range lock each on the
// relay lock file (bytes 0 to kWaitingPlaces - 1; independent of the flock on the same file).
// A forwarder that finds none free answers 503 at once. A place is held only until the request
// is sent, not while its answer is awaited (a held PullMessages takes none).
constexpr int kWaitingPlaces = 16;

// The CGI variables handed over: what describes the request, nothing that steers a shell.
// HTTP_AUTHORIZATION carries HTTP Digest credentials (a web server that hands the header to
// CGI programs sets it); an nvtd that does not know it passes it over.
constexpr const char* kForwarded[] = {
    "REQUEST_METHOD", "REQUEST_URI", "CONTENT_TYPE", "HTTP_SOAPACTION", "QUERY_STRING",
    "REMOTE_ADDR",    "REMOTE_PORT", "SERVER_PORT",  "HTTP_HOST",       "HTTP_AUTHORIZATION"};

char reply_name[relay::kClientFifoNameSize];
volatile sig_atomic_t reply_made = 0;
volatile sig_atomic_t timed_out = 0;
char body[kMaxBody];
char env[relay::kMaxEnvBytes];

// SIGTERM, SIGINT, SIGHUP, SIGPIPE: the reply FIFO goes with the process.
void on_end_signal(int) {
  if (reply_made) unlink(reply_name);
  _exit(1);
}

void on_alarm(int) {
  timed_out = 1;
}

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGPIPE};

void install_handlers() {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  sigfillset(&action.sa_mask);
  action.sa_handler = on_end_signal;
  for (int sig : kEndSignals) sigaction(sig, &action, nullptr);
  // No SA_RESTART: the alarm ends a blocking flock or write with EINTR.
  action.sa_handler = on_alarm;
  sigaction(SIGALRM, &action, nullptr);
  // Whatever the web server held back when it started this program is let through.
  sigset_t ours;
  sigemptyset(&ours);
  for (int sig : kEndSignals) sigaddset(&ours, sig);
  sigaddset(&ours, SIGALRM);
  sigprocmask(SIG_UNBLOCK, &ours, nullptr);
}

// Holds back (or lets through again) the signals that end the forwarder.
void hold_end_signals(bool hold) {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kEndSignals) sigaddset(&set, sig);
  sigprocmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

bool write_whole(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR && !timed_out) continue;
    if (n <= 0) return false;
    p += n;
    size -= size_t(n);
  }
  return true;
}

void answer_error(const char* status, const char* text) {
  char answer[256];
  int n = snprintf(answer, sizeof answer, "Status: %s\r\nContent-Type: text/plain\r\n\r\n%s\n",
                   status, text);
  if (n > 0) write_whole(1, answer, size_t(n) < sizeof answer ? size_t(n) : sizeof answer - 1);
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

// Takes a free waiting place on the lock file (see kWaitingPlaces); false when all are taken.
// The place goes when the lock file is closed or the process ends, however it ends.
bool take_waiting_place(int lock) {
  for (int place = 0; place < kWaitingPlaces; ++place) {
    struct flock range;
    memset(&range, 0, sizeof range);
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = place;
    range.l_len = 1;
    if (fcntl(lock, F_SETLK, &range) == 0) return true;
  }
  return false;
}

// The relay lock (a flock on the lock file, taken while the holder sends), waited for until
// the alarm; false on time-out.
bool take_relay_lock(int lock) {
  while (flock(lock, LOCK_EX) < 0) {
    if (errno != EINTR || timed_out) return false;
  }
  return true;
}

// Waits (holding the relay lock) until nvtd reads no request and none waits in its FIFO: nvtd
// holds a flock on the FIFO while it reads one, so this waits on that flock. Only between a
// request's arrival and nvtd taking the flock is the FIFO not empty with the flock free: then
// it looks again after a short pause. False when the alarm came first.
bool wait_until_idle(int server) {
  while (!timed_out) {
    if (flock(server, LOCK_SH) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    flock(server, LOCK_UN);
    int queued = 0;
    if (ioctl(server, FIONREAD, &queued) == 0 && queued == 0) return true;
    timespec pause = {0, 100 * 1000};
    nanosleep(&pause, nullptr);
  }
  return false;
}

// The body from standard input: up to length bytes, fewer if the web server ends early.
size_t read_body(long length) {
  size_t got = 0;
  while (got < size_t(length)) {
    ssize_t n = read(0, body + got, size_t(length) - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  return got;
}

// Appends text to env at *used if it fits; false when it does not.
bool append(size_t* used, const char* text) {
  size_t n = strlen(text);
  if (n > sizeof env - *used) return false;
  memcpy(env + *used, text, n);
  *used += n;
  return true;
}

// The ENV text: the forwarded variables (one that does not fit is left out) and the length
// the chunks really add up to. Its size; *lines the count of lines.
size_t env_text(size_t body_size, int* lines) {
  char length[48];
  snprintf(length, sizeof length, "CONTENT_LENGTH=%zu", body_size);
  size_t used = 0;
  *lines = 0;
  for (const char* name : kForwarded) {
    const char* value = getenv(name);
    if (value == nullptr || strchr(value, '\n') != nullptr) continue;
    size_t before = used;
    if (strlen(name) + strlen(value) + 2 + strlen(length) > sizeof env - used ||
        !append(&used, name) || !append(&used, "=") || !append(&used, value) ||
        !append(&used, "\n")) {
      used = before;
      continue;
    }
    ++*lines;
  }
  append(&used, length);
  ++*lines;
  return used;
}

// The request's bytes gathered into writes of at most a pipe's atomic size: a small request
// goes in one write (one wake-up for nvtd). A piece nvtd reads in one read (a header, the pid,
// the counts, a chunk length) never straddles two writes; text and chunk data may.
class Batch {
 public:
  explicit Batch(int fd) : fd_(fd) {}
  bool whole(const void* data, size_t size) {
    if (size > sizeof buffer_ - used_ && !flush()) return false;
    memcpy(buffer_ + used_, data, size);
    used_ += size;
    return true;
  }
  bool text(const char* data, size_t size) {
    while (size > 0) {
      if (used_ == sizeof buffer_ && !flush()) return false;
      size_t n = size < sizeof buffer_ - used_ ? size : sizeof buffer_ - used_;
      memcpy(buffer_ + used_, data, n);
      used_ += n;
      data += n;
      size -= n;
    }
    return true;
  }
  size_t room() const { return sizeof buffer_ - used_; }
  bool flush() {
    bool ok = write_whole(fd_, buffer_, used_);
    used_ = 0;
    return ok;
  }

 private:
  int fd_;
  size_t used_ = 0;
  char buffer_[relay::kAtomicWrite];
};

bool send_request(int fd, size_t env_size, int lines, size_t body_size) {
  struct {
    relay::MessageHeader header;
    relay::OpenPayload open;
  } open_message = {{relay::kOpen, 0}, {int32_t(getpid())}};
  struct {
    relay::MessageHeader header;
    relay::EnvCounts counts;
  } env_message = {{relay::kEnv, 0}, {int32_t(lines), int32_t(env_size)}};
  relay::MessageHeader content = {relay::kContent, 0};
  Batch out(fd);
  if (!out.whole(&open_message, sizeof open_message) ||
      !out.whole(&env_message, sizeof env_message) || !out.text(env, env_size) ||
      !out.whole(&content, sizeof content)) {
    return false;
  }
  // Chunks as large as the room left in the write at hand.
  for (size_t at = 0; at < body_size;) {
    if (out.room() <= sizeof(relay::ChunkLength) && !out.flush()) return false;
    size_t n = out.room() - sizeof(relay::ChunkLength);
    if (n > body_size - at) n = body_size - at;
    relay::ChunkLength length = relay::ChunkLength(n);
    if (!out.whole(&length, sizeof length) || !out.text(body + at, n)) return false;
    at += n;
  }
  return out.flush();
}

// How the reply ended: relayed (in full or as far as nvtd wrote it), or nothing came because
// nvtd went away after it got the request, or nothing came in kReplyWaitMs.
enum class ReplyEnd { kRelayed, kServerGone, kTimedOut };

// Whether nvtd has let go of the server FIFO's read end (it holds it while it lives): a write
// end then polls POLLERR. Waits up to wait_ms for it, since an ending process closes its
// descriptors one by one.
bool server_gone(int server, int wait_ms) {
  pollfd p = {server, 0, 0};
  int r;
  do {
    r = poll(&p, 1, wait_ms);
  } while (r < 0 && errno == EINTR);
  return r > 0 && (p.revents & POLLERR) != 0;
}

// Copies the reply to standard output until the server closes the FIFO. A reply FIFO closed
// with nothing written is nvtd's empty answer while nvtd lives, and its death when it does not;
// a server FIFO without reader while nothing has come is its death before it answered.
ReplyEnd copy_reply(int fd, int server) {
  char buffer[4096];
  bool any = false;
  for (;;) {
    pollfd p[2] = {{fd, POLLIN, 0}, {server, 0, 0}};
    int r = poll(p, any ? 1 : 2, kReplyWaitMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return any ? ReplyEnd::kRelayed : ReplyEnd::kTimedOut;
    if (!any && (p[1].revents & POLLERR) != 0 && (p[0].revents & POLLIN) == 0) {
      return ReplyEnd::kServerGone;
    }
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      return !any && server_gone(server, 200) ? ReplyEnd::kServerGone : ReplyEnd::kRelayed;
    }
    if (!write_whole(1, buffer, size_t(n))) return ReplyEnd::kRelayed;
    any = true;
  }
}

// The answer when nvtd took the request and ended without answering (killed, crashed): a SOAP
// receiver fault with 503, so that the client sees a fault it may retry (nvtd's watchdog starts
// it again within seconds) rather than the web server's error page.
void answer_server_gone() {
  static const char kFault[] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" "
      "xmlns:ter=\"http://www.onvif.org/ver10/error\"><SOAP-ENV:Body><SOAP-ENV:Fault>"
      "<SOAP-ENV:Code><SOAP-ENV:Value>SOAP-ENV:Receiver</SOAP-ENV:Value><SOAP-ENV:Subcode>"
      "<SOAP-ENV:Value>ter:Action</SOAP-ENV:Value></SOAP-ENV:Subcode></SOAP-ENV:Code>"
      "<SOAP-ENV:Reason><SOAP-ENV:Text xml:lang=\"en\">The ONVIF service stopped before it "
      "answered; try again</SOAP-ENV:Text></SOAP-ENV:Reason></SOAP-ENV:Fault></SOAP-ENV:Body>"
      "</SOAP-ENV:Envelope>";
  char head[160];
  int n = snprintf(head, sizeof head,
                   "Status: 503 Service Unavailable\r\nRetry-After: 2\r\n"
                   "Content-Type: application/soap+xml; charset=utf-8\r\n"
                   "Content-Length: %zu\r\n\r\n",
                   sizeof kFault - 1);
  if (n > 0 && size_t(n) < sizeof head && write_whole(1, head, size_t(n))) {
    write_whole(1, kFault, sizeof kFault - 1);
  }
}

// Makes the reply FIFO and opens it for reading (before OPEN is sent, so the server's open
// finds its reader at once). The read end, or -1.
// The flag is up before the FIFO is made and down only after it is removed, so a signal in
// between removes it (or finds nothing at the name, which is this process's alone).
int make_reply_fifo() {
  snprintf(reply_name, sizeof reply_name, relay::kClientFifoFormat, long(getpid()));
  reply_made = 1;
  bool made = mkfifo(reply_name, 0600) == 0;
  if (!made && errno == EEXIST) {
    unlink(reply_name);  // left by an earlier process of this pid
    made = mkfifo(reply_name, 0600) == 0;
  }
  reply_made = made;
  if (!made) return -1;
  return open(reply_name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

void remove_reply_fifo() {
  if (reply_made) unlink(reply_name);
  reply_made = 0;
}

// Waits for the relay (bounded by kRelayWaitSeconds) and sends the request; false when the
// lock, nvtd or the time failed. The server FIFO stays open in *server, to tell nvtd's end.
bool relay_request(int lock, size_t body_size, UniqueFd* server_out) {
  alarm(kRelayWaitSeconds);
  bool sent = false;
  if (take_relay_lock(lock)) {
    UniqueFd server(open_roots(relay::kServerFifo, O_WRONLY | O_NONBLOCK, S_IFIFO));
    if (server.valid() && wait_until_idle(server.get())) {
      fcntl(server.get(), F_SETFL, fcntl(server.get(), F_GETFL) & ~O_NONBLOCK);
      int lines = 0;
      size_t env_size = env_text(body_size, &lines);
      hold_end_signals(true);
      sent = send_request(server.get(), env_size, lines, body_size);
      hold_end_signals(false);
    }
    *server_out = std::move(server);
  }
  alarm(0);
  return sent;
}

int run() {
  install_handlers();
  const char* length_text = getenv("CONTENT_LENGTH");
  long length = length_text != nullptr ? strtol(length_text, nullptr, 10) : 0;
  // An empty request (CONTENT_LENGTH 0, or unset as CGI has it for a request without a body)
  // is relayed too: nvtd answers it with the Digest challenge, which curl --digest asks for
  // so before it sends its body.
  bool empty = length_text == nullptr || (length == 0 && length_text[0] == '0');
  if ((length < 1 && !empty) || length > kMaxBody) {
    answer_error("400 Bad Request", "bogus content length!");
    return 1;
  }
  size_t body_size = read_body(length);
  if (body_size == 0 && !empty) {
    answer_error("400 Bad Request", "bogus content");
    return 1;
  }
  UniqueFd lock(open_roots(relay::kRelayLock, O_RDWR, S_IFREG));
  if (lock.valid() && !take_waiting_place(lock.get())) {
    answer_error("503 Service Unavailable", "too many requests waiting");
    return 1;
  }
  UniqueFd reply;
  if (lock.valid()) {
    reply.reset(make_reply_fifo());
    if (!reply_made) {
      answer_error("500 Internal Server Error", "cannot create reply fifo");
      return 1;
    }
  }
  UniqueFd server;
  bool sent = reply.valid() && relay_request(lock.get(), body_size, &server);
  lock.reset();  // the relay lock and the waiting place
  ReplyEnd end = sent ? copy_reply(reply.get(), server.get()) : ReplyEnd::kTimedOut;
  reply.reset();
  server.reset();
  remove_reply_fifo();
  if (!sent) {
    answer_error("502 Bad Gateway", "nvtd is not running");
    return 1;
  }
  if (end == ReplyEnd::kServerGone) {
    answer_server_gone();
    return 1;
  }
  return end == ReplyEnd::kRelayed ? 0 : 1;
}

}  // namespace

int main() {
  return run();
}
