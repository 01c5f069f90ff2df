// Reading the TZ rule from the footer of a zone file.
#include "nvtd/device/tz_rule.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <vector>

#include "common/unique_fd.h"

namespace nvtd {

std::string tz_rule_from_zone_text(std::string_view file) {
  if (file.empty() || file.back() != '\n') return std::string();
  file.remove_suffix(1);
  std::size_t line_feed = file.rfind('\n');
  if (line_feed == std::string_view::npos) return std::string();
  std::string_view rule = file.substr(line_feed + 1);
  for (char c : rule) {
    if (c < 0x20 || c > 0x7e) return std::string();
  }
  return std::string(rule);
}

namespace {

// The rule last read, and the identity of the file it came from.
struct KeptRule {
  std::string path;
  struct stat file {};
  std::string rule;
};

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

}  // namespace

std::string read_tz_rule(const char* path, bool* reread) {
  // The file is read again only when it changed (as the C library decides for its own
  // reading of the zone).
  thread_local std::optional<KeptRule> kept;
  struct stat now;
  if (stat(path, &now) != 0) {
    if (reread != nullptr) *reread = true;
    kept.reset();
    return std::string();
  }
  const bool same = kept && kept->path == path && same_file(kept->file, now);
  if (reread != nullptr) *reread = !same;
  if (same) return kept->rule;
  kept.reset();
  UniqueFd fd(open(path, O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::string();
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return std::string();
  // The rule is at the end: a file longer than the limit is read from its last bytes.
  off_t start = st.st_size > off_t(kZoneFileLimit) ? st.st_size - off_t(kZoneFileLimit) : 0;
  if (start > 0 && lseek(fd.get(), start, SEEK_SET) != start) return std::string();
  std::vector<char> buffer(kZoneFileLimit);
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    ssize_t n = read(fd.get(), buffer.data() + filled, buffer.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::string();
    if (n == 0) break;
    filled += std::size_t(n);
  }
  kept = KeptRule{path, st, tz_rule_from_zone_text(std::string_view(buffer.data(), filled))};
  return kept->rule;
}

}  // namespace nvtd
