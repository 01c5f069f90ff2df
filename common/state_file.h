// Camera state files: one small file per named state ("motion", "daynight", "ircut-mode") in
// one directory that nvtd watches. A writer puts the whole value into a hidden temporary file
// beside it and renames it over the name, so a reader sees the old value or the new, never half.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "common/unique_fd.h"

namespace camera_state {

inline constexpr char kDirectory[] = "/run/camera-state";
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

// The directory may be written by its owner (root, or the writer running as that owner) and
// its group; a directory others may write, or one that is not a directory, is refused.
inline bool directory_is_safe(const struct stat& st) {
  return S_ISDIR(st.st_mode) && (st.st_mode & S_IWOTH) == 0 &&
         (st.st_uid == 0 || st.st_uid == ::geteuid());
}

// Makes the directory if it is missing (mode 0755); 0 when it exists and is safe, -1 otherwise.
inline int ensure_directory(const std::string& dir) {
  if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return -1;
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0 || !directory_is_safe(st)) return -1;
  return 0;
}

// Reads a state: 0 and the trimmed value, or -1 when the file is missing, a link, not a
// regular file, or larger than kValueMax.
inline int read(const std::string& dir, const std::string& name, std::string* value) {
  if (!valid_name(name)) return -1;
  std::string path = dir + "/" + name;
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) return -1;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::size_t>(st.st_size) > kValueMax)
    return -1;
  char buffer[kValueMax + 1];
  ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
  if (n < 0 || static_cast<std::size_t>(n) > kValueMax) return -1;
  *value = trimmed(std::string(buffer, static_cast<std::size_t>(n)));
  return 0;
}

// Writes a state whole (temporary file, fsync, rename); 0 or -1. The directory is made if missing.
inline int write(const std::string& dir, const std::string& name, const std::string& value) {
  if (!valid_name(name) || value.size() + 1 > kValueMax) return -1;
  if (ensure_directory(dir) != 0) return -1;
  std::string temp = dir + "/." + name + ".XXXXXX";
  UniqueFd fd(::mkostemp(&temp[0], O_CLOEXEC));
  if (!fd.valid()) return -1;
  std::string text = value + "\n";
  bool ok = ::fchmod(fd.get(), 0644) == 0 &&
            ::write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
            ::fsync(fd.get()) == 0;
  ok = fd.reset() == 0 && ok;
  std::string path = dir + "/" + name;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return -1;
  }
  return 0;
}

}  // namespace camera_state
