// The soundtap process: options, log, signals, the consumer table, the control queues,
// audio_thread, then the request loop until a stop signal.
#include "soundtap/daemon.h"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>

#include "soundtap/audio_stream.h"
#include "soundtap/audio_thread.h"
#include "soundtap/control_queue.h"
#include "soundtap/log.h"
#include "soundtap/options.h"

namespace soundtap {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGQUIT, SIGTERM};

void on_stop_signal(int) {
  Quit = 1;
}

void install_signals() {
  struct sigaction action = {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  for (int sig : kStopSignals) sigaction(sig, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

// audio_thread is started with the stop signals blocked, so they cut the request loop's
// sleep short.
int start_audio_thread() {
  sigset_t block, previous;
  sigemptyset(&block);
  for (int sig : kStopSignals) sigaddset(&block, sig);
  pthread_sigmask(SIG_BLOCK, &block, &previous);
  const int err = pthread_create(&Stream.thread, nullptr, audio_thread, nullptr);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return err;
}

// The thread ends after its current chunk; a read stuck in the sound library is not waited
// for longer than two seconds.
void stop_audio_thread() {
  {
    std::lock_guard<std::mutex> lock(ConsumerLock);
    wake_audio_thread();
  }
  struct timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += 2;
  pthread_timedjoin_np(Stream.thread, nullptr, &deadline);
}

}  // namespace

int run_soundtap(int argc, const char* const* argv) {
  const Settings settings = parse_options(argc, argv);
  open_log(settings.use_syslog);
  log_message("soundtap starting\n");
  install_signals();
  reset_audio_stream();
  mkdir("/tmp/soundtap", 0755);

  ControlQueues queues;
  if (open_control_queues(&queues) != 0) {
    if (Quit) return 0;  // stopped while someone else held the queues' names
    log_message("failed to create message queue!\n");
    return 1;
  }
  log_message("starting audio thread\n");
  if (start_audio_thread() != 0) return 1;
  check_req_fifo(queues, settings);
  mq_close(queues.request);
  mq_close(queues.reply);
  stop_audio_thread();
  return 0;
}

}  // namespace soundtap
