// sndq-client: a test and diagnostic tool for soundtap's control queues.
//   sndq-client send TEXT      queue TEXT on "/sndq"
//   sndq-client ask TEXT [MS]  queue TEXT, then print the reply from "/sndqr" (wait MS, 3000)
//   sndq-client attr [NAME...] print the attributes of the queues (both by default)
//   sndq-client make NAME MODE MAXMSG MSGSIZE [TEXT]
//                              create queue NAME with octal MODE (sizes 0 0: the system's)
//                              and queue TEXT in it
//   sndq-client squat NAME MS  for MS milliseconds, create queue NAME (mode 0666) again
//                              whenever it is gone, as fast as possible; print the count
//   sndq-client unlink         remove both queues
#include <fcntl.h>
#include <mqueue.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int send_request(const char* text) {
  mqd_t q = mq_open("/sndq", O_WRONLY | O_NONBLOCK);
  if (q == static_cast<mqd_t>(-1)) {
    perror("mq_open /sndq");
    return 1;
  }
  const int rc = mq_send(q, text, strlen(text), 0);
  if (rc != 0) perror("mq_send");
  mq_close(q);
  return rc == 0 ? 0 : 1;
}

int ask_reply(const char* text, long wait_ms) {
  mqd_t r = mq_open("/sndqr", O_RDONLY);
  if (r == static_cast<mqd_t>(-1)) {
    perror("mq_open /sndqr");
    return 1;
  }
  if (send_request(text) != 0) return 1;
  struct mq_attr attr = {};
  mq_getattr(r, &attr);
  std::vector<char> reply(static_cast<size_t>(attr.mq_msgsize) + 1);
  struct timespec deadline;
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += wait_ms / 1000;
  deadline.tv_nsec += (wait_ms % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  const ssize_t len = mq_timedreceive(r, reply.data(), reply.size() - 1, nullptr, &deadline);
  mq_close(r);
  if (len < 0) {
    perror("mq_timedreceive");
    return 1;
  }
  // The length is printed too: the reply carries its terminating NUL.
  printf("%zd %.*s\n", len, static_cast<int>(strnlen(reply.data(), len)), reply.data());
  return 0;
}

int print_attrs(const std::vector<const char*>& names) {
  for (const char* name : names) {
    mqd_t q = mq_open(name, O_RDONLY | O_NONBLOCK);
    struct mq_attr attr = {};
    if (q == static_cast<mqd_t>(-1) || mq_getattr(q, &attr) != 0) {
      perror(name);
      return 1;
    }
    printf("%s maxmsg %ld msgsize %ld\n", name, attr.mq_maxmsg, attr.mq_msgsize);
    mq_close(q);
  }
  return 0;
}

int make_queue(int argc, char** argv) {
  const mode_t mode = static_cast<mode_t>(strtol(argv[3], nullptr, 8));
  struct mq_attr attr = {};
  attr.mq_maxmsg = strtol(argv[4], nullptr, 10);
  attr.mq_msgsize = strtol(argv[5], nullptr, 10);
  umask(0);
  mqd_t q = mq_open(argv[2], O_RDWR | O_CREAT | O_EXCL | O_NONBLOCK, mode,
                    attr.mq_maxmsg > 0 ? &attr : nullptr);
  if (q == static_cast<mqd_t>(-1)) {
    perror(argv[2]);
    return 1;
  }
  const int rc = argc >= 7 ? mq_send(q, argv[6], strlen(argv[6]) + 1, 0) : 0;
  if (rc != 0) perror("mq_send");
  mq_close(q);
  return rc == 0 ? 0 : 1;
}

int64_t now_ms() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int squat(const char* name, long ms) {
  umask(0);
  long made = 0;
  const int64_t end = now_ms() + ms;
  for (long round = 0; (round & 1023) != 0 || now_ms() < end; ++round) {
    mqd_t q = mq_open(name, O_RDWR | O_CREAT | O_EXCL | O_NONBLOCK, 0666, nullptr);
    if (q == static_cast<mqd_t>(-1)) continue;
    mq_close(q);
    ++made;
  }
  printf("%ld\n", made);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && strcmp(argv[1], "send") == 0) return send_request(argv[2]);
  if (argc >= 3 && strcmp(argv[1], "ask") == 0) {
    return ask_reply(argv[2], argc >= 4 ? strtol(argv[3], nullptr, 10) : 3000);
  }
  if (argc >= 2 && strcmp(argv[1], "attr") == 0) {
    if (argc == 2) return print_attrs({"/sndq", "/sndqr"});
    return print_attrs(std::vector<const char*>(argv + 2, argv + argc));
  }
  if (argc >= 6 && strcmp(argv[1], "make") == 0) return make_queue(argc, argv);
  if (argc >= 4 && strcmp(argv[1], "squat") == 0)
    return squat(argv[2], strtol(argv[3], nullptr, 10));
  if (argc >= 2 && strcmp(argv[1], "unlink") == 0) {
    mq_unlink("/sndq");
    mq_unlink("/sndqr");
    return 0;
  }
  fprintf(stderr,
          "usage: sndq-client send TEXT | ask TEXT [MS] | attr [NAME...] | "
          "make NAME MODE MAXMSG MSGSIZE [TEXT] | squat NAME MS | unlink\n");
  return 2;
}
