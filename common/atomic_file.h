// Whole-file replacement: the new contents go into a fresh temporary file beside the target,
// which is flushed, renamed over the target, and the directory flushed. A reader sees the old
// file or the new one, never part of either, and a crash leaves one of them. The temporary
// file is made exclusively under an unpredictable name (mkostemp in the target's directory),
// so nothing that was there before, file or link, is ever written or moved into place. The
// new file belongs to this process's user and has exactly the mode given (umask plays no
// part). A link at the target is replaced, not followed: a caller that keeps a file elsewhere
// through a link resolves the link first.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "common/unique_fd.h"

namespace atomic_file {

// The directory part of a path ("." for a bare name, "/" for a name in the root).
inline std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// One pending replacement of a target: a temporary file ".<name>.XXXXXX" beside it, removed
// again unless commit() succeeds.
class Replacement {
 public:
  Replacement(std::string target, mode_t mode) : target_(std::move(target)) {
    const std::size_t slash = target_.rfind('/');
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    const std::string dir = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    temp_ = dir + "." + name + ".XXXXXX";
    fd_.reset(::mkostemp(&temp_[0], O_CLOEXEC));  // O_CREAT | O_EXCL, mode 0600
    if (!fd_.valid()) {
      temp_.clear();
    } else if (::fchmod(fd_.get(), mode) != 0) {
      discard();
    }
  }
  ~Replacement() { discard(); }
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;

  bool valid() const { return fd_.valid(); }
  int fd() const { return fd_.get(); }
  // The temporary file's path, for a writer that opens it by name (a shell redirection).
  const std::string& temp_path() const { return temp_; }

  // Appends all of text; false on a write error.
  bool write(const std::string& text) {
    std::size_t done = 0;
    while (valid() && done < text.size()) {
      const ssize_t n = ::write(fd_.get(), text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return valid();
  }

  // Flushes the temporary file, renames it over the target and flushes the directory. False
  // when a step before the rename failed: the target is then as it was and the temporary file
  // is gone.
  bool commit() {
    if (!valid()) return false;
    bool ok = ::fsync(fd_.get()) == 0;
    ok = fd_.reset() == 0 && ok;
    if (!ok || ::rename(temp_.c_str(), target_.c_str()) != 0) {
      discard();
      return false;
    }
    temp_.clear();
    UniqueFd dir(::open(directory_of(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) ::fsync(dir.get());
    return true;
  }

 private:
  void discard() {
    fd_.reset();
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
  }

  std::string target_;
  std::string temp_;
  UniqueFd fd_;
};

// Replaces target with text whole, as a file of the given mode; false when it could not (the
// target is then as it was).
inline bool replace(const std::string& target, const std::string& text, mode_t mode) {
  Replacement replacement(target, mode);
  return replacement.write(text) && replacement.commit();
}

}  // namespace atomic_file
