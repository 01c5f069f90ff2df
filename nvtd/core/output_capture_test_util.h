// Test helpers: requests with a given body, a reply kept in memory, and standard output (the
// traces) caught in a file.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>

#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// A request with this body and nothing else.
inline Request request_with_body(std::string body) {
  Request request;
  request.body = std::move(body);
  return request;
}

class OutputCapture {
 public:
  explicit OutputCapture(RunMode mode = RunMode::kCgi) : reply_(-1, mode) {}
  Reply& reply() { return reply_; }
  // Everything the writers produced so far.
  std::string take() { return reply_.text(); }

 private:
  Reply reply_;
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
