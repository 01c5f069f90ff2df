// Reading the TZ rule from the footer of a zone file.
#include "nvtd/device/tz_rule.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

std::string read_tz_rule(const char* path) {
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
  return tz_rule_from_zone_text(std::string_view(buffer.data(), filled));
}

}  // namespace nvtd
