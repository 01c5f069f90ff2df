// Focus jobs: the lock file, the twice-forked job process and the lensctl runs it waits for.
// Everything the job process needs is built before the first fork, so that it only calls
// functions that are safe after forking a threaded process.
#include "nvtd/imaging/focus_jobs.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <ctime>

#include "common/unique_fd.h"

namespace nvtd {
namespace {

constexpr long kMotorStepUs = 2500;
constexpr long kMaxPauseUs = 1000000;
constexpr int kHighestFd = 1024;

volatile std::sig_atomic_t stop_asked = 0;
void ask_stop(int) {
  stop_asked = 1;
}

// Argument vectors over the words, each ending in nullptr.
struct Commands {
  std::vector<std::vector<std::string>> words;
  std::vector<std::vector<char*>> argv;
};

Commands commands_for(const FocusJob& job, const std::string& lensctl) {
  Commands c;
  c.words = lensctl_runs(job);
  for (auto& words : c.words) words.insert(words.begin(), lensctl);
  for (auto& words : c.words) {
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    c.argv.push_back(argv);
  }
  return c;
}

void run_and_wait(char* const* argv) {
  pid_t pid = fork();
  if (pid == 0) {
    execv(argv[0], argv);
    _exit(127);
  }
  if (pid < 0) return;
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

void pause_us(long us) {
  if (us <= 0) return;
  struct timespec wait = {us / 1000000, (us % 1000000) * 1000};
  nanosleep(&wait, nullptr);  // a stop cuts it short
}

// "kind pid\n" into the lock file, digits written by hand (no allocation after the fork).
void record(int fd, const char* kind) {
  char text[48];
  std::size_t n = 0;
  for (const char* k = kind; *k != '\0' && n < 24; ++k) text[n++] = *k;
  text[n++] = ' ';
  char digits[16];
  std::size_t d = 0;
  for (long pid = getpid(); pid > 0 && d < sizeof digits; pid /= 10) digits[d++] = '0' + pid % 10;
  while (d > 0) text[n++] = digits[--d];
  text[n++] = '\n';
  // Written over the last record, then cut to size: a reader never finds the file empty.
  if (pwrite(fd, text, n, 0) < 0 || ftruncate(fd, static_cast<off_t>(n)) != 0) {
    // the job still runs; it can only not be stopped
  }
}

void become_quiet_job(int lock_fd) {
  setsid();
  int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    for (int fd = 0; fd <= 2; ++fd) dup2(null, fd);
  }
  for (int fd = 3; fd < kHighestFd; ++fd) {
    if (fd != lock_fd) close(fd);
  }
  struct sigaction stop = {};
  stop.sa_handler = ask_stop;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTERM, &stop, nullptr);
  struct sigaction plain = {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  for (int sig : {SIGCHLD, SIGPIPE, SIGINT, SIGHUP}) sigaction(sig, &plain, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
}

const char* kind_word(const FocusJob& job) {
  return job.kind == FocusJobKind::kAutofocus ? "autofocus" : "move";
}

[[noreturn]] void run_job(int lock_fd, const FocusJob& job, const Commands& commands) {
  become_quiet_job(lock_fd);
  record(lock_fd, kind_word(job));
  if (job.kind == FocusJobKind::kContinuous && !commands.argv.empty()) {
    long pause = chunk_pause_us(job.speed);
    for (int moved = 0; moved < kContinuousMaxSteps && !stop_asked; moved += kChunkSteps) {
      run_and_wait(commands.argv[0].data());
      if (!stop_asked) pause_us(pause);
    }
  } else {
    for (const auto& argv : commands.argv) {
      if (stop_asked) break;
      run_and_wait(argv.data());
    }
  }
  _exit(0);
}

// The lock file opened without following a link; an invalid descriptor when it is missing
// or not a regular file.
UniqueFd open_lock(const std::string& path, int flags) {
  UniqueFd fd(open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600));
  struct stat st {};
  if (fd.valid() && (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) fd.reset();
  return fd;
}

// The running job's record ("kind pid"), or "" when no job holds the lock.
std::string running_record(const std::string& path) {
  UniqueFd fd = open_lock(path, O_RDONLY);
  if (!fd.valid() || flock(fd.get(), LOCK_SH | LOCK_NB) == 0) return "";
  char text[48] = {};
  ssize_t n = pread(fd.get(), text, sizeof text - 1, 0);
  std::string record(text, n > 0 ? static_cast<std::size_t>(n) : 0);
  return record.empty() ? std::string("move 0") : record;
}

}  // namespace

std::vector<std::vector<std::string>> lensctl_runs(const FocusJob& job) {
  if (job.kind == FocusJobKind::kAutofocus) return {{"autofocus"}};
  if (job.kind == FocusJobKind::kContinuous) {
    const char* word = job.speed > 0 ? "focusstepfar" : "focusstepnear";
    return {{word, std::to_string(kChunkSteps), "1"}};
  }
  const char* word = job.steps > 0 ? "focusstepfar" : "focusstepnear";
  int steps = std::abs(job.steps);
  std::vector<std::vector<std::string>> runs;
  if (steps / kRunSteps > 0) {
    runs.push_back({word, std::to_string(kRunSteps), std::to_string(steps / kRunSteps)});
  }
  if (steps % kRunSteps > 0) runs.push_back({word, std::to_string(steps % kRunSteps), "1"});
  return runs;
}

long chunk_pause_us(double speed) {
  double fraction = std::fabs(speed);
  if (!(fraction > 0)) return kMaxPauseUs;
  double chunk_us = static_cast<double>(kChunkSteps * kMotorStepUs);
  double pause = chunk_us / std::fmin(fraction, 1.0) - chunk_us;
  return pause > kMaxPauseUs ? kMaxPauseUs : static_cast<long>(pause);
}

FocusActivity focus_activity(const FocusPlace& place) {
  std::string record = running_record(place.lock_path);
  if (record.empty()) return FocusActivity::kIdle;
  return record.rfind("autofocus ", 0) == 0 ? FocusActivity::kAutofocus : FocusActivity::kMoving;
}

int start_focus_job(const FocusJob& job, const FocusPlace& place) {
  Commands commands = commands_for(job, place.lensctl);
  UniqueFd lock = open_lock(place.lock_path, O_RDWR | O_CREAT);
  if (!lock.valid()) return -1;
  if (flock(lock.get(), LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? 1 : -1;
  if (commands.argv.empty()) return 0;
  // The kind at once, the job's process when it has one (no earlier job's process to stop).
  std::string first = std::string(kind_word(job)) + " 0\n";
  if (pwrite(lock.get(), first.data(), first.size(), 0) < 0 ||
      ftruncate(lock.get(), static_cast<off_t>(first.size())) != 0) {
    return -1;
  }
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (fork() == 0) run_job(lock.get(), job, commands);
    _exit(0);
  }
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return 0;  // closing the lock here leaves it held by the job alone
}

int stop_focus_move(const FocusPlace& place) {
  std::string record = running_record(place.lock_path);
  if (record.rfind("move ", 0) != 0) return -1;
  long pid = std::strtol(record.c_str() + 5, nullptr, 10);
  if (pid <= 1 || pid > INT_MAX) return -1;
  return kill(static_cast<pid_t>(pid), SIGTERM) == 0 ? 0 : -1;
}

}  // namespace nvtd
