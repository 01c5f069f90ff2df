// The response of one request: the writers append to it and it goes out in one write, so a
// client that reads the status line and headers once finds the whole response. The run
// mode owns it; a handler that acts after answering (a reboot) flushes it first.
#pragma once

#include <string>
#include <string_view>

#include "nvtd/core/request.h"

namespace nvtd {

class Reply {
 public:
  // fd: standard output (CGI), the reply FIFO or the connection; -1 keeps everything in
  // memory (tests). mode decides the status lines and where plain messages go.
  Reply(int fd, RunMode mode) : fd_(fd), mode_(mode) {}
  ~Reply() { flush(); }
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;

  RunMode mode() const { return mode_; }
  void append(std::string_view text) { pending_.append(text); }
  // Writes what is pending in one call (retrying short writes) and forgets it.
  void flush();
  // What has been written or is pending (with fd -1: everything the writers produced).
  const std::string& text() const { return pending_; }
  // Whether anything has gone out to the fd (a flush with something pending).
  bool sent() const { return sent_; }
  // Forgets what is pending, for an answer replaced before it went out.
  void discard() { pending_.clear(); }

 private:
  int fd_;
  RunMode mode_;
  std::string pending_;
  bool sent_ = false;
};

// Writes all of data to fd, retrying short writes and interrupted calls, and waiting up to
// kReplyWriteWaitMs each time a non-blocking fd takes nothing; errors are ignored (the peer
// may have gone).
inline constexpr int kReplyWriteWaitMs = 5000;
void write_all(int fd, std::string_view data);

}  // namespace nvtd
