// The control queues "/sndq" and "/sndqr" and the request loop.
#include "soundtap/control_queue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "soundtap/audio_stream.h"
#include "soundtap/log.h"
#include "soundtap/request.h"

namespace soundtap {
namespace {

// Removing a foreign queue and creating ours races with whoever made it: a few tries a
// round, then a pause that grows to a bound, for as long as the race goes on.
constexpr int kTriesPerRound = 3;
constexpr int64_t kFirstPauseMs = 50;
constexpr int64_t kLongestPauseMs = 1000;
// A call that fails while nobody else is at the names is the system's own failure, not the
// race's: after this many such rounds in a row the daemon gives up.
constexpr int kLoneFailureRounds = 3;

// What one try to get a queue came to.
enum class Got { kQueue, kRaced, kFailed };

bool is_own_queue(mqd_t q, const struct stat& st) {
  struct mq_attr attr = {};
  return st.st_uid == geteuid() && (st.st_mode & 077) == 0 && mq_getattr(q, &attr) == 0 &&
         attr.mq_maxmsg == kQueueMessages && attr.mq_msgsize == kQueueMessageBytes;
}

// Creates the queue, or takes an own one already there, or removes another's (logged) so
// that the next try may create it. kRaced when the name was someone else's at some step,
// even when its removal then failed (the other may have removed it or made it again);
// kFailed when the create failed for another reason than the name's being taken.
Got try_own_queue(const char* name, int access, mqd_t* out) {
  struct mq_attr attr = {};
  attr.mq_maxmsg = kQueueMessages;
  attr.mq_msgsize = kQueueMessageBytes;
  mqd_t q = mq_open(name, access | O_NONBLOCK | O_CREAT | O_EXCL, 0600, &attr);
  if (q != static_cast<mqd_t>(-1)) {
    *out = q;
    return Got::kQueue;
  }
  if (errno != EEXIST) {
    log_message("cannot create %s: %s\n", name, strerror(errno));
    return Got::kFailed;
  }
  q = mq_open(name, access | O_NONBLOCK);
  if (q == static_cast<mqd_t>(-1)) {
    if (errno == ENOENT) return Got::kRaced;  // removed meanwhile
    log_message("%s cannot be checked (%s), replaced\n", name, strerror(errno));
  } else {
    struct stat st = {};
    if (fstat(q, &st) == 0 && is_own_queue(q, st)) {
      *out = q;
      return Got::kQueue;
    }
    log_message("%s of uid %d, mode %03o, replaced\n", name, static_cast<int>(st.st_uid),
                static_cast<unsigned>(st.st_mode & 0777));
    mq_close(q);
  }
  if (mq_unlink(name) != 0 && errno != ENOENT) {
    log_message("cannot remove %s: %s\n", name, strerror(errno));
  }
  return Got::kRaced;
}

// One try at each queue not had yet; kQueue once both are had.
Got try_both_queues(ControlQueues* queues) {
  constexpr mqd_t kNone = static_cast<mqd_t>(-1);
  if (queues->request == kNone) {
    const Got got = try_own_queue(kRequestQueue, O_RDWR, &queues->request);
    if (got != Got::kQueue) return got;
  }
  if (queues->reply == kNone) return try_own_queue(kReplyQueue, O_WRONLY, &queues->reply);
  return Got::kQueue;
}

int64_t now_ms() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Returns at when_ms, or sooner on a signal.
void sleep_until_ms(int64_t when_ms) {
  struct timespec until = {static_cast<time_t>(when_ms / 1000),
                           static_cast<long>(when_ms % 1000) * 1000000L};
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
}

void handle_queued_requests(const ControlQueues& queues, const Settings& settings,
                            ConsumerOpener* opener) {
  struct mq_attr attr = {};
  if (mq_getattr(queues.request, &attr) != 0) {
    log_message("error getting mq attr!\n");
    return;
  }
  if (attr.mq_curmsgs <= 0) return;
  const long n = attr.mq_curmsgs;
  std::vector<char> buffer(static_cast<size_t>(attr.mq_msgsize) + 1);
  log_message("read %d msgs, size = %d\n", static_cast<int>(n), static_cast<int>(attr.mq_msgsize));
  for (long i = 0; i < n; ++i) {
    const ssize_t len =
        mq_receive(queues.request, buffer.data(), static_cast<size_t>(attr.mq_msgsize), nullptr);
    if (len < 0) break;  // taken by someone else meanwhile: nothing to handle
    buffer[static_cast<size_t>(len)] = '\0';
    handle_request(std::string(buffer.data()), queues, settings, opener);
  }
}

}  // namespace

int open_control_queues(ControlQueues* queues) {
  int64_t pause_ms = kFirstPauseMs;
  int lone_failures = 0;
  for (int round = 1; !Quit; ++round) {
    // A failed call ends the round; while someone else makes the queues, whatever a call
    // fails with may be the race's doing, so another round follows.
    bool raced = false, failed = false;
    for (int tries = 0; tries < kTriesPerRound && !failed; ++tries) {
      const Got got = try_both_queues(queues);
      if (got == Got::kQueue) return 0;
      raced = raced || got == Got::kRaced;
      failed = got == Got::kFailed;
    }
    lone_failures = failed && !raced ? lone_failures + 1 : 0;
    if (lone_failures >= kLoneFailureRounds) return -1;
    log_message(raced ? "round %d: the queues were taken again by someone else; next try in %d ms\n"
                      : "round %d: the queues could not be made; next try in %d ms\n",
                round, static_cast<int>(pause_ms));
    sleep_until_ms(now_ms() + pause_ms);
    pause_ms = std::min(pause_ms * 2, kLongestPauseMs);
  }
  return -1;
}

void handle_request(const std::string& text, const ControlQueues& queues, const Settings& settings,
                    ConsumerOpener* opener) {
  log_message("%s: read [%s]\n", "CheckReqFifo", text.c_str());
  const std::vector<std::string> tokens = tokenize_request(text);
  for (size_t i = 0; i < tokens.size(); ++i) {
    log_message("token[%d] = [%s]\n", static_cast<int>(i), tokens[i].c_str());
  }
  const Request request = classify_request(tokens);
  if (request.kind == RequestKind::kGetInfo) {
    const std::string reply = format_info_reply(settings);
    if (mq_send(queues.reply, reply.c_str(), reply.size() + 1, 0) != 0) {
      log_message("soundtap:: error responding to getinfo");
    }
  } else if (request.kind == RequestKind::kStartAudio) {
    opener->Request(request.path, now_ms());
  }
}

void check_req_fifo(const ControlQueues& queues, const Settings& settings) {
  ConsumerOpener opener(settings);
  while (!Quit) {
    handle_queued_requests(queues, settings, &opener);
    const int64_t next_read = now_ms() + kRequestPollMs;
    // Each round sleeps until an attempt or the next read is due; a stop signal ends it.
    while (!Quit) {
      opener.RetryDue(now_ms());
      if (now_ms() >= next_read) break;
      const int64_t due = opener.NextDueMs();
      sleep_until_ms(due < 0 ? next_read : std::min(due, next_read));
    }
  }
}

}  // namespace soundtap
