// The nvtd process: start-up order, the three run modes and shutdown.
//
// The road of one request, a room at each step:
//   transport  socket, FIFO or CGI environment -> Request (tcp_server, relay_server,
//              request_env, http_io), handed to the Dispatcher made here
//   app        dispatch_request: the action text, the operation in the OperationTable
//   auth       authenticate_request: HTTP Digest and the UsernameToken, the level, the memory
//   rooms      the operation's handler (device, media, events, imaging, discovery)
//   soap       the writers and faults put the answer into the Reply, which the run mode sends
#include "nvtd/app/service.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "nvtd/app/dispatch.h"
#include "nvtd/auth/password_cipher.h"
#include "nvtd/auth/token_memory.h"
#include "nvtd/auth/useradd.h"
#include "nvtd/core/command_line.h"
#include "nvtd/core/hwconfig.h"
#include "nvtd/core/process_state.h"
#include "nvtd/soap/writers.h"
#include "nvtd/transport/http_io.h"
#include "nvtd/transport/relay_protocol.h"
#include "nvtd/transport/relay_server.h"
#include "nvtd/transport/request_env.h"
#include "nvtd/transport/tcp_server.h"

namespace nvtd {
namespace {

constexpr int kStartupError = 255;

// The request loop's thread: a stop signal that lands in another thread (one that did not
// block it) is passed on, so that the loop's blocking read, poll or select returns.
pthread_t loop_thread;

void on_signal(int signo) {
  if (signo == SIGPIPE) return;
  StopRequested = true;
  if (!pthread_equal(pthread_self(), loop_thread)) pthread_kill(loop_thread, signo);
}

// Whether a CGI process stops the discovery thread before it exits: only after a request
// that passed authentication (or NoAuth) and reached the action table. After an open
// operation, a failed authentication, "no action!" or an unreadable body it ends at once.
bool cgi_stops_discovery(DispatchOutcome outcome) {
  return outcome == DispatchOutcome::kHandled || outcome == DispatchOutcome::kHandedOver;
}

// Ends a CGI process now, without waiting for the discovery thread or running the static
// destructors that would join it. The response went out with write(); traces are flushed.
[[noreturn]] void exit_at_once() {
  fflush(stdout);
  fflush(stderr);
  closelog();
  _exit(0);
}

// CGI mode: one request from the environment and standard input, answered on standard output.
int run_cgi(const ServiceWiring& wiring) {
  // One request per process: the tokens seen are remembered across processes in a file.
  set_token_memory(std::make_unique<FileTokenMemory>(kTokenFileDirectory, kTokenFileName));
  Request request = request_from_environment();
  Reply reply(1, RunMode::kCgi);
  if (read_content(0, "", &request, reply) < 0) {
    send_text(reply, "bogus content");
    reply.flush();
    exit_at_once();
  }
  DispatchOutcome outcome = dispatch_request(wiring.operations, request, reply);
  reply.flush();
  if (!cgi_stops_discovery(outcome)) exit_at_once();
  wiring.stop_discovery();
  return 0;
}

// Ends a long-lived mode: the mode's descriptors, the discovery thread. Status 0 when a stop
// signal ended it (whatever requests were in progress or held), 255 when the loop failed.
int shut_down(const ServiceWiring& wiring, const Config& settings, RelayState* relay,
              int listen_fd) {
  if (settings.persist) close_client_fifo(relay);
  if (settings.server && listen_fd >= 0) close(listen_fd);
  wiring.stop_discovery();  // prints "waiting for discovery thread..." when one runs
  fflush(stdout);
  return StopRequested ? 0 : kStartupError;
}

}  // namespace

void install_signal_handlers() {
  loop_thread = pthread_self();
  struct sigaction action = {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocked read or select returns and the loop looks
  for (int signo : {SIGINT, SIGQUIT, SIGTERM, SIGPIPE}) sigaction(signo, &action, nullptr);
}

int run_nvtd(int argc, const char* const* argv, const ServiceWiring& wiring) {
  Config settings;  // a CGI program takes the defaults
  // Nothing nvtd or the commands it runs create is writable by group or others, whatever mask
  // it was started with (a stricter one is kept); the relay FIFOs get their modes explicitly.
  umask(umask(0) | 022);
  openlog("nvtd", LOG_CONS, LOG_USER);
  RelayState relay;
  bool cgi = getenv("REQUEST_METHOD") != nullptr;
  if (!cgi) {
    // Traces are read as they happen, line by line.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    CommandLineActions actions;
    actions.start_persist = [&relay] {
      return start_persist(&relay, relay::kServerFifo, relay::kRelayLock);
    };
    actions.useradd = [](const char* user, const char* password, const char* level) {
      // A line that could never authenticate is refused: start-up error, status 255.
      if (useradd(user, password, level) < 0) exit(kStartupError);
    };
    switch (parse_command_line(argc, argv, actions, &settings)) {
      case ParseResult::kServe:
        break;
      case ParseResult::kExit:
        return 0;
      case ParseResult::kUsage:
        print_usage();
        return kStartupError;
      case ParseResult::kStartupError:
        return kStartupError;
    }
  }
  set_config(settings);  // before anything reads it
  install_signal_handlers();
  if (!settings.no_auth)
    rc2_cbc();  // providers and cipher once, before the first request needs them
  wiring.connect_settings();
  wiring.start_discovery();
  int listen_fd = -1;
  if (settings.server) {
    listen_fd = open_listen_socket(settings.http_port);
    if (listen_fd < 0) {
      wiring.stop_discovery();
      fprintf(stderr, "failed to start server\n");
      return kStartupError;
    }
  }
  probe_hardware();
  wiring.reset_tables();

  Dispatcher dispatch = [&wiring](const Request& request, Reply& reply) {
    return dispatch_request(wiring.operations, request, reply);
  };
  if (settings.server) {
    run_server_loop(listen_fd, dispatch);
  } else if (settings.persist) {
    while (!StopRequested && serve_relay_request(&relay, dispatch) == 0) {
    }
  } else {
    return run_cgi(wiring);
  }
  return shut_down(wiring, settings, &relay, listen_fd);
}

}  // namespace nvtd
