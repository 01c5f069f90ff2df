// Camera state files: one small file per named state (common/camera_states.h) in one
// directory that nvtd watches. A writer replaces the whole value (common/atomic_file.h), so a
// reader sees the old value or the new, never half. Readers and writers alike use the
// directory only when it is a real directory (never a link) that only its owner may write,
// and read a state only when it is a small regular file (never a link, a FIFO or a device).
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/atomic_file.h"
#include "common/camera_states.h"
#include "common/unique_fd.h"

namespace camera_state {

// A state file holds at most this many bytes; anything larger is not a state file.
inline constexpr std::size_t kValueMax = 64;

// A state name is a short run of [a-z0-9-]: it is a file name and a topic key, never a path.
inline bool valid_name(const std::string& name) {
  if (name.empty() || name.size() > 32) return false;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    if (!ok) return false;
  }
  return true;
}

// The value a file holds, without surrounding blanks and line ends.
inline std::string trimmed(const std::string& text) {
  std::size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  std::size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

// The directory may be written by its owner only (root, or the writer running as that owner);
// one its group or others may write, or one that is not a directory, is refused.
inline bool directory_is_safe(const struct stat& st) {
  return S_ISDIR(st.st_mode) && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
         (st.st_uid == 0 || st.st_uid == ::geteuid());
}

enum class DirectoryCheck {
  kSafe,
  kUnopened,  // missing, a link, or not a directory
  kRefused,   // others or its group may write it, or it belongs to another user
};

// The directory, opened without following a link at its name; invalid unless it is safe. The
// check's outcome goes to *check when given.
inline UniqueFd open_directory(const std::string& dir, DirectoryCheck* check = nullptr) {
  UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  DirectoryCheck outcome = fd.valid() ? DirectoryCheck::kSafe : DirectoryCheck::kUnopened;
  struct stat st {};
  if (fd.valid() && (::fstat(fd.get(), &st) != 0 || !directory_is_safe(st))) {
    fd.reset();
    outcome = DirectoryCheck::kRefused;
  }
  if (check != nullptr) *check = outcome;
  return fd;
}

// Makes the directory if it is missing (mode 0755); 0 when it exists and is safe, -1 otherwise.
inline int ensure_directory(const std::string& dir) {
  if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return -1;
  return open_directory(dir).valid() ? 0 : -1;
}

enum class ReadResult {
  kValue,            // the value was read
  kBadName,          // not a state name
  kUnopened,         // missing, a link, or not to be opened
  kNotSmallRegular,  // a FIFO, a device, a directory, or larger than kValueMax
  kReadFailed,
};

// Reads the state `name` in an open state directory. The file is opened without following a
// link and without blocking (a FIFO never holds the reader up), and at most kValueMax bytes
// are read.
inline ReadResult read_at(int dir_fd, const std::string& name, std::string* value) {
  if (!valid_name(name)) return ReadResult::kBadName;
  UniqueFd fd(::openat(dir_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) return ReadResult::kUnopened;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::size_t>(st.st_size) > kValueMax)
    return ReadResult::kNotSmallRegular;
  char buffer[kValueMax + 1];
  ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
  if (n < 0 || static_cast<std::size_t>(n) > kValueMax) return ReadResult::kReadFailed;
  *value = trimmed(std::string(buffer, static_cast<std::size_t>(n)));
  return ReadResult::kValue;
}

// Reads a state: 0 and the trimmed value, or -1 when the directory is refused or the state
// cannot be read (see read_at).
inline int read(const std::string& dir, const std::string& name, std::string* value) {
  UniqueFd dir_fd = open_directory(dir);
  if (!dir_fd.valid()) return -1;
  return read_at(dir_fd.get(), name, value) == ReadResult::kValue ? 0 : -1;
}

// Writes a state whole (mode 0644); 0 or -1. The directory is made if missing.
inline int write(const std::string& dir, const std::string& name, const std::string& value) {
  if (!valid_name(name) || value.size() + 1 > kValueMax) return -1;
  if (ensure_directory(dir) != 0) return -1;
  return atomic_file::replace(dir + "/" + name, value + "\n", 0644) ? 0 : -1;
}

}  // namespace camera_state
