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

// Removing a foreign queue and creating ours races with whoever made it: a few rounds.
constexpr int kCreateRounds = 3;

bool IsOwnQueue(mqd_t q, const struct stat& st) {
  struct mq_attr attr = {};
  return st.st_uid == geteuid() && (st.st_mode & 077) == 0 && mq_getattr(q, &attr) == 0 &&
         attr.mq_maxmsg == kQueueMessages && attr.mq_msgsize == kQueueMessageBytes;
}

mqd_t OpenOwnQueue(const char* name, int access) {
  struct mq_attr attr = {};
  attr.mq_maxmsg = kQueueMessages;
  attr.mq_msgsize = kQueueMessageBytes;
  for (int round = 0; round < kCreateRounds; ++round) {
    mqd_t q = mq_open(name, access | O_NONBLOCK | O_CREAT | O_EXCL, 0600, &attr);
    if (q != static_cast<mqd_t>(-1)) return q;
    if (errno != EEXIST) {
      log_message("cannot create %s: %s\n", name, strerror(errno));
      return q;
    }
    q = mq_open(name, access | O_NONBLOCK);
    if (q == static_cast<mqd_t>(-1)) {
      if (errno == ENOENT) continue;  // removed meanwhile
      log_message("%s cannot be checked (%s), replaced\n", name, strerror(errno));
    } else {
      struct stat st = {};
      if (fstat(q, &st) == 0 && IsOwnQueue(q, st)) return q;
      log_message("%s of uid %d, mode %03o, replaced\n", name, static_cast<int>(st.st_uid),
                  static_cast<unsigned>(st.st_mode & 0777));
      mq_close(q);
    }
    if (mq_unlink(name) != 0 && errno != ENOENT) {
      log_message("cannot remove %s: %s\n", name, strerror(errno));
      return static_cast<mqd_t>(-1);
    }
  }
  log_message("%s was made again by someone else each time it was removed\n", name);
  return static_cast<mqd_t>(-1);
}

int64_t NowMs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Returns at when_ms, or sooner on a signal.
void SleepUntilMs(int64_t when_ms) {
  struct timespec until = {static_cast<time_t>(when_ms / 1000),
                           static_cast<long>(when_ms % 1000) * 1000000L};
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
}

void HandleQueuedRequests(const ControlQueues& queues, const Settings& settings,
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
    HandleRequest(std::string(buffer.data()), queues, settings, opener);
  }
}

}  // namespace

int OpenControlQueues(ControlQueues* queues) {
  queues->request = OpenOwnQueue(kRequestQueue, O_RDWR);
  if (queues->request == static_cast<mqd_t>(-1)) return -1;
  queues->reply = OpenOwnQueue(kReplyQueue, O_WRONLY);
  if (queues->reply == static_cast<mqd_t>(-1)) return -1;
  return 0;
}

void HandleRequest(const std::string& text, const ControlQueues& queues, const Settings& settings,
                   ConsumerOpener* opener) {
  log_message("%s: read [%s]\n", "CheckReqFifo", text.c_str());
  const std::vector<std::string> tokens = TokenizeRequest(text);
  for (size_t i = 0; i < tokens.size(); ++i) {
    log_message("token[%d] = [%s]\n", static_cast<int>(i), tokens[i].c_str());
  }
  const Request request = ClassifyRequest(tokens);
  if (request.kind == RequestKind::kGetInfo) {
    const std::string reply = FormatInfoReply(settings);
    if (mq_send(queues.reply, reply.c_str(), reply.size() + 1, 0) != 0) {
      log_message("soundtap:: error responding to getinfo");
    }
  } else if (request.kind == RequestKind::kStartAudio) {
    opener->Request(request.path, NowMs());
  }
}

void CheckReqFifo(const ControlQueues& queues, const Settings& settings) {
  ConsumerOpener opener(settings);
  while (!Quit) {
    HandleQueuedRequests(queues, settings, &opener);
    const int64_t next_read = NowMs() + kRequestPollMs;
    // Each round sleeps until an attempt or the next read is due; a stop signal ends it.
    while (!Quit) {
      opener.RetryDue(NowMs());
      if (NowMs() >= next_read) break;
      const int64_t due = opener.NextDueMs();
      SleepUntilMs(due < 0 ? next_read : std::min(due, next_read));
    }
  }
}

}  // namespace soundtap
