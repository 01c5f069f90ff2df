// The users file's lock and its whole-file rewrite by temporary file and rename.
#include "nvtd/auth/users_file_update.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "common/atomic_file.h"
#include "common/unique_fd.h"
#include "nvtd/auth/users_file.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

constexpr int kLockTries = 500;  // 10 ms apart: at most 5 s
constexpr int kLockPauseUs = 10000;

// The lock file, made by this process (root) if missing, with its directory when that is
// missing too (a first account); one of another owner, or anything but a regular file, is not
// used.
UniqueFd take_lock() {
  std::string path = UsersFilePath + ".lock";
  constexpr int kFlags = O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
  UniqueFd fd(open(path.c_str(), kFlags, 0600));
  if (!fd.valid() && errno == ENOENT && mkdir(atomic_file::directory_of(path).c_str(), 0755) == 0) {
    fd.reset(open(path.c_str(), kFlags, 0600));
  }
  struct stat st;
  if (!fd.valid() || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    trace("users file lock %s unusable\n", path.c_str());
    return UniqueFd();
  }
  for (int i = 0; i < kLockTries; ++i) {
    if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0) return fd;
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    usleep(kLockPauseUs);
  }
  trace("users file lock %s not got\n", path.c_str());
  return UniqueFd();
}

// Writes the lines over `path` whole (common/atomic_file.h), as a file only root may read.
// A link there is followed first, so a users file kept elsewhere through a link stays there.
int replace_file(std::string path, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text.append(line).push_back('\n');
  if (char* real = realpath(path.c_str(), nullptr)) {
    path = real;
    free(real);
  }
  return atomic_file::replace(path, text, 0600) ? 0 : -1;
}

}  // namespace

std::string users_file_in_use() {
  for (const std::string* path : {&UsersFilePath, &UsersFileFallbackPath}) {
    UniqueFd fd(open(path->c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.valid()) return *path;
  }
  return UsersFilePath;
}

int read_users_lines(std::vector<std::string>* lines) {
  lines->clear();
  std::string path = users_file_in_use();
  std::ifstream in(path);
  if (!in) return access(path.c_str(), F_OK) == 0 ? -1 : 0;
  std::string line;
  while (std::getline(in, line)) lines->push_back(line);
  return in.bad() ? -1 : 0;
}

int update_users_file(const std::function<int(std::vector<std::string>&)>& change) {
  UniqueFd lock = take_lock();
  if (!lock.valid()) return -1;
  std::vector<std::string> lines;
  if (read_users_lines(&lines) != 0) return -1;
  std::vector<std::string> before = lines;
  int rc = change(lines);
  if (rc != 0 || lines == before) return rc;
  std::string path = users_file_in_use();
  if (replace_file(path, lines) != 0) {
    trace("users file %s not written\n", path.c_str());
    return -1;
  }
  return 0;
}

}  // namespace nvtd
