// The camera state directory as nvtd reads it (see state_watcher.h).
#include "nvtd/events/state_watcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include "common/state_file.h"
#include "nvtd/core/process_state.h"

namespace nvtd {

StateWatcher::StateWatcher(std::string directory) : directory_(std::move(directory)) {
  inotify_.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  ensure_watch();
  known_ = scan();
}

void StateWatcher::ensure_watch() {
  if (!inotify_.valid() || watch_ >= 0) return;
  constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE |
                               IN_CREATE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                               IN_DONT_FOLLOW;
  watch_ = inotify_add_watch(inotify_.get(), directory_.c_str(), kEvents);
}

namespace {

// A name as a log line may show it: bytes outside printable ASCII, and the backslash, as \xHH.
std::string printable(const std::string& name) {
  std::string text;
  for (unsigned char c : name) {
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      text.push_back(static_cast<char>(c));
    } else {
      static const char kHex[] = "0123456789abcdef";
      text += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return text;
}

}  // namespace

void StateWatcher::warn_once(const std::string& key, const char* format, const std::string& name) {
  if (!warned_.insert(key).second) return;
  syslog(LOG_WARNING, format, directory_.c_str(), name.c_str());
  trace(format, directory_.c_str(), name.c_str());
  trace("\n");
}

bool StateWatcher::read_entry(int dir_fd, const std::string& name, std::string* value) {
  switch (camera_state::read_at(dir_fd, name, value)) {
    case camera_state::ReadResult::kValue:
      return true;
    case camera_state::ReadResult::kBadName:
      warn_once("name:" + name, "%s: ignoring %s: not a state name", printable(name));
      return false;
    case camera_state::ReadResult::kUnopened:
    case camera_state::ReadResult::kNotSmallRegular:
      warn_once("entry:" + name, "%s: ignoring %s: not a small regular file", name);
      return false;
    case camera_state::ReadResult::kReadFailed:
      break;
  }
  return false;
}

StateMap StateWatcher::scan() {
  StateMap states;
  camera_state::DirectoryCheck check;
  UniqueFd dir_fd = camera_state::open_directory(directory_, &check);
  if (check == camera_state::DirectoryCheck::kRefused) {
    warn_once("directory", "%s%s: refused: others may write it or it is not root's", "");
  }
  if (!dir_fd.valid()) return states;
  warned_.erase("directory");
  DIR* listing = ::fdopendir(::dup(dir_fd.get()));
  if (listing == nullptr) return states;
  while (struct dirent* entry = ::readdir(listing)) {
    std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;  // ".", "..", and writers' temporary files
    std::string value;
    if (read_entry(dir_fd.get(), name, &value)) states[name] = value;
  }
  ::closedir(listing);
  return states;
}

std::vector<StateChange> StateWatcher::wait_for_changes(int wake_fd, int timeout_ms) {
  ensure_watch();
  struct pollfd fds[2] = {{inotify_.get(), POLLIN, 0}, {wake_fd, POLLIN, 0}};
  if (::poll(fds, 2, timeout_ms) > 0 && (fds[0].revents & POLLIN) != 0) {
    alignas(struct inotify_event) char buffer[4096];
    ssize_t n;
    while ((n = ::read(inotify_.get(), buffer, sizeof buffer)) > 0) {
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
        if ((event->mask & IN_IGNORED) != 0) watch_ = -1;  // the directory went away
        at += ssize_t(sizeof(struct inotify_event) + event->len);
      }
    }
  }
  StateMap now = scan();
  std::vector<StateChange> changes;
  for (const auto& [name, value] : now) {
    auto before = known_.find(name);
    if (before == known_.end() || before->second != value) changes.push_back({name, value});
  }
  for (const auto& [name, value] : known_) {
    if (now.count(name) == 0) changes.push_back({name, ""});
  }
  known_ = std::move(now);
  return changes;
}

}  // namespace nvtd
