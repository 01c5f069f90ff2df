// Framing and whole-message socket I/O for the settings-server protocol.

#include "nvtd/getset/settings_wire.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace nvtd {

void put_word(unsigned char* at, uint32_t word) {
  at[0] = static_cast<unsigned char>(word);
  at[1] = static_cast<unsigned char>(word >> 8);
  at[2] = static_cast<unsigned char>(word >> 16);
  at[3] = static_cast<unsigned char>(word >> 24);
}

uint32_t get_word(const unsigned char* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
         static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

std::string encode_request(uint32_t command, uint32_t text_length, const std::string& section) {
  unsigned char head[12];
  put_word(head, command);
  put_word(head + 4, text_length);
  put_word(head + 8, static_cast<uint32_t>(section.size()));
  std::string request(reinterpret_cast<const char*>(head), sizeof head);
  return request + section;
}

SettingsReply decode_reply(const unsigned char bytes[kReplyBytes]) {
  return SettingsReply{get_word(bytes), get_word(bytes + 4)};
}

long long settings_clock_ms() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

long long reply_deadline(int timeout_s) {
  return settings_clock_ms() + timeout_s * 1000LL;
}

// Waits until fd is ready for events or the deadline passes; false when it passed.
static bool wait_until(int fd, short events, long long deadline_ms) {
  for (;;) {
    const long long left = deadline_ms - settings_clock_ms();
    if (left <= 0) return false;
    pollfd ready = {fd, events, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left));
    if (polled > 0) return true;
    if (polled == 0 || errno != EINTR) return false;
  }
}

size_t write_all(int fd, const void* data, size_t n, long long deadline_ms) {
  const char* p = static_cast<const char*>(data);
  size_t done = 0;
  while (done < n) {
    ssize_t w = ::send(fd, p + done, n - done, MSG_NOSIGNAL);
    if (w > 0) {
      done += static_cast<size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && deadline_ms >= 0 &&
        wait_until(fd, POLLOUT, deadline_ms)) {
      continue;
    }
    break;
  }
  return done;
}

bool read_all(int fd, void* data, size_t n, long long deadline_ms) {
  char* p = static_cast<char*>(data);
  size_t done = 0;
  // With a deadline, take what is there already and wait only when nothing is.
  const int flags = deadline_ms >= 0 ? MSG_DONTWAIT : 0;
  while (done < n) {
    ssize_t r = ::recv(fd, p + done, n - done, flags);
    if (r > 0) {
      done += static_cast<size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r == 0 || deadline_ms < 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
    if (!wait_until(fd, POLLIN, deadline_ms)) return false;
  }
  return true;
}

int connect_nonblocking(int fd, const sockaddr* address, socklen_t length, int timeout_s) {
  return connect_until(fd, address, length, reply_deadline(timeout_s));
}

int connect_until(int fd, const sockaddr* address, socklen_t length, long long deadline_ms) {
  if (::connect(fd, address, length) == 0) return 0;
  if (errno != EINPROGRESS) return -1;
  // poll rather than select: no limit on the descriptor's number.
  if (!wait_until(fd, POLLOUT, deadline_ms)) {
    if (settings_clock_ms() >= deadline_ms) errno = ETIMEDOUT;
    return -1;
  }
  pollfd writable{fd, POLLOUT, 0};
  if (::poll(&writable, 1, 0) < 0) return -1;
  if ((writable.revents & (POLLERR | POLLHUP)) == 0) return 0;
  // A refused connection is reported here rather than at the first write, so the
  // caller can go on to the next address.
  int error = 0;
  socklen_t error_length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &error_length) < 0 || error != 0) {
    errno = error != 0 ? error : errno;
    return -1;
  }
  return 0;
}

int connect_with_timeout(int fd, const sockaddr* address, socklen_t length, int timeout_s) {
  int on = 1, off = 0;
  if (::ioctl(fd, FIONBIO, &on) < 0) return -1;
  const int result = connect_nonblocking(fd, address, length, timeout_s);
  const int saved = errno;
  ::ioctl(fd, FIONBIO, &off);
  errno = saved;
  return result;
}

}  // namespace nvtd
