// The state file and write log of the virtual camera.
#include "testbed/vcam/store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vcam {

namespace {

// The state file, open and locked; it is also the lock of the whole virtual camera.
class LockedStateFile {
 public:
  LockedStateFile() : fd_(::open((dir() + "/state").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~LockedStateFile() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  LockedStateFile(const LockedStateFile&) = delete;
  LockedStateFile& operator=(const LockedStateFile&) = delete;

  State load() const {
    std::string text;
    char buffer[512];
    ssize_t n;
    off_t at = 0;
    while (fd_ >= 0 && (n = pread(fd_, buffer, sizeof buffer, at)) > 0) {
      text.append(buffer, static_cast<size_t>(n));
      at += n;
    }
    return parse_state(text);
  }
  void store(const State& state) const {
    const std::string text = format_state(state);
    if (fd_ < 0 || pwrite(fd_, text.data(), text.size(), 0) < 0) return;
    if (ftruncate(fd_, static_cast<off_t>(text.size())) != 0) return;
  }

 private:
  int fd_;
};

}  // namespace

const char* filter_name(Filter filter) {
  switch (filter) {
    case Filter::kDay:
      return "day";
    case Filter::kNight:
      return "night";
    default:
      return "unknown";
  }
}

std::string format_state(const State& s) {
  std::ostringstream out;
  out << "focus=" << s.focus << "\nphase=" << s.phase << "\nconfig=" << s.config
      << "\noutput=" << s.output << "\nfilter=" << filter_name(s.filter)
      << "\nclock_us=" << s.clock_us << "\nreads=" << s.reads << "\nwrites=" << s.writes << "\n";
  return out.str();
}

State parse_state(const std::string& text) {
  State s;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    const long long number = std::strtoll(value.c_str(), nullptr, 10);
    if (key == "focus") s.focus = number;
    if (key == "phase") s.phase = static_cast<int>(number) & 3;
    if (key == "config") s.config = static_cast<int>(number) & 0xFF;
    if (key == "output") s.output = static_cast<int>(number) & 0xFF;
    if (key == "filter")
      s.filter = value == "day"     ? Filter::kDay
                 : value == "night" ? Filter::kNight
                                    : Filter::kUnknown;
    if (key == "clock_us") s.clock_us = number;
    if (key == "reads") s.reads = number;
    if (key == "writes") s.writes = number;
  }
  return s;
}

std::string dir() {
  const char* env = std::getenv("VCAM_DIR");
  std::string path = env != nullptr && *env != '\0' ? env : "/tmp/vcam";
  mkdir(path.c_str(), 0755);
  return path;
}

void with_state(const std::function<void(State&)>& change) {
  LockedStateFile file;
  State state = file.load();
  change(state);
  file.store(state);
}

State read_state() {
  return LockedStateFile().load();
}

void append_log(const std::string& line) {
  const int fd =
      ::open((dir() + "/i2c.log").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const std::string text = line + "\n";
  if (::write(fd, text.data(), text.size()) < 0) {
    // the log is best effort
  }
  ::close(fd);
}

std::string read_file(const std::string& name) {
  std::ifstream in(dir() + "/" + name);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace vcam
