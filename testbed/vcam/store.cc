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

class FileLock {
 public:
  explicit FileLock(const std::string& path)
      : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

State load() {
  return parse_state(read_file("state"));
}

void store(const State& state) {
  const std::string path = dir() + "/state";
  std::ofstream out(path + ".new", std::ios::trunc);
  out << format_state(state);
  out.close();
  std::rename((path + ".new").c_str(), path.c_str());
}

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
  FileLock lock(dir() + "/lock");
  State state = load();
  change(state);
  store(state);
}

State read_state() {
  FileLock lock(dir() + "/lock");
  return load();
}

void append_log(const std::string& line) {
  std::ofstream out(dir() + "/i2c.log", std::ios::app);
  out << line << "\n";
}

std::string read_file(const std::string& name) {
  std::ifstream in(dir() + "/" + name);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace vcam
