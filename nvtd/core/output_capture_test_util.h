// Test helper: points OutputFd (and, if asked, standard output) at a pipe and returns what
// the writers wrote.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "nvtd/core/process_state.h"

namespace nvtd {

class OutputCapture {
 public:
  OutputCapture() {
    if (pipe2(fds_, O_CLOEXEC) == 0) OutputFd = fds_[1];
  }
  ~OutputCapture() {
    OutputFd = 1;
    for (int fd : fds_) {
      if (fd >= 0) close(fd);
    }
  }
  // Everything written so far (the writers are done).
  std::string take() {
    OutputFd = 1;
    close(fds_[1]);
    fds_[1] = -1;
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds_[0], buffer, sizeof buffer)) > 0) out.append(buffer, size_t(n));
    return out;
  }

 private:
  int fds_[2] = {-1, -1};
};

// Captures standard output (the traces) into a temporary file.
class StdoutCapture {
 public:
  StdoutCapture() {
    fflush(stdout);
    saved_ = dup(1);
    file_ = tmpfile();
    if (file_ != nullptr) dup2(fileno(file_), 1);
  }
  ~StdoutCapture() { restore(); }
  std::string take() {
    restore();
    std::string out;
    if (file_ == nullptr) return out;
    rewind(file_);
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file_)) > 0) out.append(buffer, n);
    fclose(file_);
    file_ = nullptr;
    return out;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
    saved_ = -1;
  }
  int saved_ = -1;
  FILE* file_ = nullptr;
};

}  // namespace nvtd
