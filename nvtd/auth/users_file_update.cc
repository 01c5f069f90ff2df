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

#include "common/unique_fd.h"
#include "nvtd/auth/users_file.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

constexpr int kLockTries = 500;  // 10 ms apart: at most 5 s
constexpr int kLockPauseUs = 10000;

std::string directory_of(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The lock file, made by this process (root) if missing, with its directory when that is
// missing too (a first account); one of another owner, or anything but a regular file, is not
// used.
UniqueFd take_lock() {
  std::string path = UsersFilePath + ".lock";
  constexpr int kFlags = O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
  UniqueFd fd(open(path.c_str(), kFlags, 0600));
  if (!fd.valid() && errno == ENOENT && mkdir(directory_of(path).c_str(), 0755) == 0) {
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

bool write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += std::size_t(n);
  }
  return true;
}

// Writes the lines to a temporary file beside `path` and renames it over `path` (over the file
// a link there names, so a users file kept elsewhere through a link stays there).
int replace_file(std::string path, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text.append(line).push_back('\n');
  if (char* real = realpath(path.c_str(), nullptr)) {
    path = real;
    free(real);
  }
  std::string dir = directory_of(path);
  std::string temp = dir + "/.users.XXXXXX";
  UniqueFd fd(mkostemp(temp.data(), O_CLOEXEC));  // mode 0600
  if (!fd.valid()) return -1;
  bool ok = write_all(fd.get(), text) && fsync(fd.get()) == 0;
  ok = fd.reset() == 0 && ok;
  if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return -1;
  }
  UniqueFd dir_fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir_fd.valid()) fsync(dir_fd.get());
  return 0;
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
