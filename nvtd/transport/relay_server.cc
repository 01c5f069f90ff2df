// Persistent relay mode: the server FIFO (made by nvtd itself, made afresh after a broken
// request) and one request per OPEN/ENV/CONTENT, answered on the forwarder's reply FIFO.
#include "nvtd/transport/relay_server.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "nvtd/core/dispatcher.h"
#include "nvtd/core/process_state.h"
#include "nvtd/transport/path_claim.h"
#include "nvtd/transport/relay_protocol.h"
#include "nvtd/transport/relay_reader.h"
#include "nvtd/transport/request_env.h"

namespace nvtd {
namespace {

bool own_fifo(const struct stat& st) {
  return S_ISFIFO(st.st_mode) && st.st_uid == geteuid();
}

bool own_lock(const struct stat& st) {
  return S_ISREG(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 07777) == 0600 &&
         st.st_nlink == 1;
}

// Makes the server FIFO at path; an own FIFO already there is kept. 0, or -1 with errno.
int make_fifo(const char* path) {
  for (int round = 0; round < kClaimRounds; ++round) {
    int cleared = clear_path(path, own_fifo);
    if (cleared != 0) return cleared > 0 ? 0 : -1;
    if (mkfifo(path, relay::kServerFifoMode) == 0) return 0;
    if (errno != EEXIST) return -1;  // EEXIST: something came in between; look again
  }
  errno = EEXIST;
  return -1;
}

// Makes the forwarders' lock file at path (root's, 0600); an own one already there is kept.
// 0, or -1 with errno.
int make_lock(const char* path) {
  for (int round = 0; round < kClaimRounds; ++round) {
    int cleared = clear_path(path, own_lock);
    if (cleared < 0) return -1;
    int flags = O_RDWR | O_NOFOLLOW | O_CLOEXEC | (cleared > 0 ? 0 : O_CREAT | O_EXCL);
    UniqueFd lock(open(path, flags, 0600));
    struct stat st;
    if (lock.valid() && fstat(lock.get(), &st) == 0 && own_lock(st)) return 0;
    if (!lock.valid() && errno != EEXIST && errno != ENOENT && errno != ELOOP) return -1;
  }
  errno = EEXIST;
  return -1;
}

// Opens the own FIFO at path for reading (without waiting for a writer) and once more for
// writing, and gives it the mode forwarders need. Prints the failing step's error text.
int open_server_ends(const char* path, UniqueFd* read_end, UniqueFd* write_end) {
  UniqueFd reader(open(path, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (reader.valid() && (fstat(reader.get(), &st) < 0 || !own_fifo(st))) {
    reader.reset();
    errno = EPERM;  // replaced after it was made
  }
  if (!reader.valid() || fchmod(reader.get(), relay::kServerFifoMode) < 0) {
    perror("open");
    return -1;
  }
  UniqueFd writer(open(path, O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat written;
  if (writer.valid() && (fstat(writer.get(), &written) < 0 || written.st_dev != st.st_dev ||
                         written.st_ino != st.st_ino)) {
    writer.reset();
    errno = EPERM;
  }
  if (!writer.valid()) {
    perror("open dummy");
    return -1;
  }
  // Reads wait for input; the write end kept open means they never see end-of-file.
  int flags = fcntl(reader.get(), F_GETFL);
  if (flags < 0 || fcntl(reader.get(), F_SETFL, flags & ~O_NONBLOCK) < 0) {
    perror("fcntl");
    return -1;
  }
  *read_end = std::move(reader);
  *write_end = std::move(writer);
  return 0;
}

}  // namespace

int start_persist(RelayState* state, const char* fifo_path, const char* lock_path) {
  printf("called with persist\n");
  state->server_name = fifo_path;
  state->lock_name = lock_path;
  if (make_fifo(fifo_path) < 0) {
    perror("mkfifo");
    return -1;
  }
  if (make_lock(lock_path) < 0) {
    perror("relay lock");
    return -1;
  }
  if (open_server_ends(fifo_path, &state->server_fifo, &state->keep_open) < 0) return -1;
  if (signal(SIGPIPE, SIG_IGN) == SIG_ERR) {
    perror("signal");
    return -1;
  }
  printf("persisting\n");
  return 0;
}

namespace {

// Whether the forwarder of that pid is gone: no such process (a pid below 1 names none).
bool forwarder_gone(pid_t pid) {
  return pid < 1 || (kill(pid, 0) < 0 && errno == ESRCH);
}

}  // namespace

bool remove_dead_reply_fifo(const char* name, pid_t pid) {
  // A FIFO of nvtd's own user, the only name to it: what that forwarder (root, like nvtd) made.
  // Nobody else can move an entry of that user in the sticky /tmp between lstat and unlink.
  struct stat st;
  if (!forwarder_gone(pid) || lstat(name, &st) < 0) return false;
  if (!S_ISFIFO(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1) return false;
  return unlink(name) == 0;
}

int open_reply_fifo(const char* name, pid_t pid, int timeout_ms) {
  // Non-blocking open fails with ENXIO until the reader is there; poll for it a bounded time,
  // and not at all once the forwarder is gone. A link is not followed and only a FIFO is
  // written to: the path is in a directory everybody may write to.
  for (int waited = 0;; waited += 10) {
    UniqueFd reply(open(name, O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (reply.valid()) {
      struct stat st;
      if (fstat(reply.get(), &st) < 0) return -1;
      if (!S_ISFIFO(st.st_mode)) {
        errno = EINVAL;
        return -1;
      }
      int flags = fcntl(reply.get(), F_GETFL);
      if (flags >= 0) fcntl(reply.get(), F_SETFL, flags & ~O_NONBLOCK);
      return reply.release();
    }
    if (errno != ENXIO && errno != EINTR) return -1;
    if (forwarder_gone(pid)) {
      if (remove_dead_reply_fifo(name, pid)) {
        printf("relay: forwarder %d gone, %s removed\n", pid, name);
      }
      errno = ESRCH;
      return -1;
    }
    if (waited >= timeout_ms || StopRequested) {
      errno = ETIMEDOUT;
      return -1;
    }
    timespec step = {0, 10 * 1000 * 1000};
    nanosleep(&step, nullptr);
  }
}

void close_client_fifo(RelayState* state) {
  if (!state->client_fifo.valid()) return;
  printf("close fifo %s\n", state->client_name.c_str());
  if (state->client_fifo.reset() < 0) perror("close fifo error");
  // A forwarder killed outright while it waited for its answer cannot remove its FIFO.
  remove_dead_reply_fifo(state->client_name.c_str(), state->client_pid);
}

namespace {

// Marks nvtd as reading a request (see relay_server.h). A forwarder only tests the lock for
// a moment; should one keep it, nvtd reads anyway after a short wait.
void begin_reading(const RelayState& state) {
  for (int tries = 0; tries < 1000; ++tries) {
    if (flock(state.server_fifo.get(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK) return;
    timespec step = {0, 100 * 1000};
    nanosleep(&step, nullptr);
  }
}

// The request is read (or dropped): forwarders may write the next one.
void end_reading(const RelayState& state) {
  flock(state.server_fifo.get(), LOCK_UN);
}

// A request that stopped half-way or broke the protocol is dropped unanswered with the rest
// of it: all that is in the server FIFO now or comes before it falls quiet (no well-behaved
// forwarder writes meanwhile). 0 to go on, -1 to end the loop.
int drop_broken_request(RelayState* state, int result) {
  if (StopRequested) return -1;  // a read cut by the stop signal; shut-down closes the rest
  printf(result == kRelayCutShort ? "relay: message cut short, request dropped\n"
                                  : "relay: protocol error, request dropped\n");
  size_t dropped = relay_drain(state->server_fifo.get());
  printf("relay: %zu bytes of the broken request dropped\n", dropped);
  end_reading(*state);
  close_client_fifo(state);
  fflush(stdout);
  return 0;
}

// Waits for the next request's first bytes; false when a stop was requested.
bool wait_for_request(const RelayState& state) {
  pollfd input = {state.server_fifo.get(), POLLIN, 0};
  while (poll(&input, 1, -1) < 0) {
    if (errno != EINTR || StopRequested) return false;
  }
  return !StopRequested;
}

}  // namespace

int serve_relay_request(RelayState* state, const Dispatcher& dispatch) {
  if (!wait_for_request(*state)) return -1;
  begin_reading(*state);
  int32_t pid = 0;
  int result = relay_read_open(state->server_fifo.get(), &pid, state->wait_ms);
  if (result < 0) return drop_broken_request(state, result);
  printf("get open command\n");
  printf("client pid = %d\n", pid);
  char name[relay::kClientFifoNameSize];
  snprintf(name, sizeof name, relay::kClientFifoFormat, long(pid));
  state->client_name = name;
  state->client_pid = pid;
  int fd = open_reply_fifo(name, pid, kReplyFifoWaitMs);
  if (fd < 0) {
    // The request is still read to its end, so that its ENV and CONTENT are not taken for
    // the next request's messages.
    fprintf(stderr, "server failed to open %s, %s", name, strerror(errno));
  } else {
    state->client_fifo.reset(fd);
    printf("opened fifo %s\n", name);
  }

  // A forwarder that dies closes its reply FIFO: the waits for its next bytes end then.
  RelayWait wait(state->wait_ms, state->client_fifo.valid() ? state->client_fifo.get() : -1);
  std::string env_text;
  result = relay_read_env(state->server_fifo.get(), &env_text, wait);
  if (result < 0) return drop_broken_request(state, result);
  Request request = request_from_relay_environment(env_text);
  bool answerable = state->client_fifo.valid();
  bool handed_over = false;
  {
    // Without a reply FIFO the reply stays in memory and goes with the request.
    Reply reply(answerable ? state->client_fifo.get() : -1, RunMode::kRelay);
    request.connection_fd = answerable ? state->client_fifo.get() : -1;
    result = relay_read_content(state->server_fifo.get(), &request, reply, wait);
    if (result == 0) end_reading(*state);
    handed_over =
        result == 0 && answerable && dispatch(request, reply) == DispatchOutcome::kHandedOver;
  }  // the reply is written before its FIFO closes
  if (handed_over) {
    // A handler keeps the reply FIFO (a held PullMessages) and answers and closes it later;
    // the loop goes on with the next request.
    printf("fifo %s handed over\n", state->client_name.c_str());
    state->client_fifo.release();
  }
  if (result < 0) return drop_broken_request(state, result);
  if (!answerable) printf("relay: no reply fifo, request dropped\n");
  close_client_fifo(state);
  fflush(stdout);
  return 0;
}

}  // namespace nvtd
