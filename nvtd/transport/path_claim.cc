// Moving aside what another user left at one of nvtd's names in /tmp (see path_claim.h).
#include "nvtd/transport/path_claim.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace nvtd {
namespace {

const char* kind_of(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return "a directory";
  if (S_ISLNK(st.st_mode)) return "a link";
  if (S_ISFIFO(st.st_mode)) return "a FIFO";
  if (S_ISREG(st.st_mode)) return "a file";
  return "something";
}

// A name beside path that nobody can foresee.
std::string aside_name(const char* path) {
  uint32_t word = 0;
  if (getrandom(&word, sizeof word, GRND_NONBLOCK) != ssize_t(sizeof word)) {
    word = uint32_t(getpid()) ^ uint32_t(time(nullptr)) ^ uint32_t(clock());
  }
  char suffix[16];
  snprintf(suffix, sizeof suffix, ".aside.%08x", unsigned(word));
  return std::string(path) + suffix;
}

// Renames path to a fresh name; a name taken meanwhile is never replaced (RENAME_NOREPLACE).
int move_aside(const char* path, const struct stat& st) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::string aside = aside_name(path);
    if (renameat2(AT_FDCWD, path, AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
      printf("%s: %s of uid %d moved aside to %s\n", path, kind_of(st), int(st.st_uid),
             aside.c_str());
      syslog(LOG_WARNING, "%s: %s of uid %d moved aside to %s", path, kind_of(st), int(st.st_uid),
             aside.c_str());
      fflush(stdout);
      return 0;
    }
    if (errno == ENOENT) return 0;  // gone meanwhile
    if (errno != EEXIST) return -1;
  }
  return -1;
}

}  // namespace

int clear_path(const char* path, KeepTest keep) {
  struct stat st;
  if (lstat(path, &st) < 0) return errno == ENOENT ? 0 : -1;
  if (keep(st)) return 1;
  return move_aside(path, st);
}

}  // namespace nvtd
