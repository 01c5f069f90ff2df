// Persistent relay mode: set-up of the server FIFO and one request per OPEN/ENV/CONTENT.
#include "nvtd/core/relay_server.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "nvtd/core/dispatch.h"
#include "nvtd/core/process_state.h"
#include "nvtd/core/relay_protocol.h"
#include "nvtd/core/relay_reader.h"
#include "nvtd/core/request_env.h"

namespace nvtd {

int start_persist(RelayState* state, const char* fifo_path) {
  printf("called with persist\n");
  umask(0);
  if (mkfifo(fifo_path, relay::kServerFifoMode) < 0 && errno != EEXIST) {
    perror("mkfifo");
    return -1;
  }
  state->server_fifo.reset(open(fifo_path, O_RDONLY | O_CLOEXEC));
  if (!state->server_fifo.valid()) {
    perror("open");
    return -1;
  }
  state->keep_open.reset(open(fifo_path, O_WRONLY | O_CLOEXEC));
  if (!state->keep_open.valid()) {
    perror("open dummy");
    return -1;
  }
  if (signal(SIGPIPE, SIG_IGN) == SIG_ERR) {
    perror("signal");
    return -1;
  }
  printf("persisting\n");
  Persist = true;
  return 0;
}

int open_reply_fifo(const char* name, int timeout_ms) {
  // Non-blocking open fails with ENXIO until the reader is there; poll for it a bounded time.
  for (int waited = 0;; waited += 10) {
    int fd = open(name, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      int flags = fcntl(fd, F_GETFL);
      if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
      return fd;
    }
    if (errno != ENXIO && errno != EINTR) return -1;
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
}

namespace {

// A forwarder stopped half-way: its request is dropped, its reply FIFO closed unanswered.
int drop_cut_short_request(RelayState* state) {
  printf("relay: message cut short, request dropped\n");
  close_client_fifo(state);
  fflush(stdout);
  return 0;
}

// A reader's result as the loop's: a cut-short request is dropped, an error ends the loop.
int relay_step_failed(RelayState* state, int result) {
  return result == kRelayCutShort ? drop_cut_short_request(state) : -1;
}

}  // namespace

int serve_relay_request(RelayState* state, const OperationTable& operations) {
  int32_t pid = 0;
  int result = relay_read_open(state->server_fifo.get(), &pid, state->wait_ms);
  if (result < 0) return relay_step_failed(state, result);
  printf("get open command\n");
  printf("client pid = %d\n", pid);
  char name[relay::kClientFifoNameSize];
  snprintf(name, sizeof name, relay::kClientFifoFormat, long(pid));
  state->client_name = name;
  int fd = open_reply_fifo(name, kReplyFifoWaitMs);
  if (fd < 0) {
    fprintf(stderr, "server failed to open %s, %s", name, strerror(errno));
    return 0;
  }
  state->client_fifo.reset(fd);
  printf("opened fifo %s\n", name);

  std::string env_text;
  result = relay_read_env(state->server_fifo.get(), &env_text, state->wait_ms);
  if (result < 0) return relay_step_failed(state, result);
  Request request = request_from_relay_environment(env_text);
  {
    Reply reply(state->client_fifo.get(), RunMode::kRelay);
    result = relay_read_content(state->server_fifo.get(), &request, reply, state->wait_ms);
    if (result < 0) return relay_step_failed(state, result);
    dispatch_request(operations, request, reply);
  }  // the reply is written before its FIFO closes
  close_client_fifo(state);
  fflush(stdout);
  return 0;
}

}  // namespace nvtd
