// The camera state directory as nvtd reads it: every small regular file with a state name is
// a state, anything else there is logged once and ignored, links are never followed and a
// directory that its group or others may write, or a link, is refused (common/state_file.h).
// Changes are seen through inotify, with a whole look once a second as the fallback. One
// watcher belongs to one thread.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/unique_fd.h"

namespace nvtd {

using StateMap = std::map<std::string, std::string>;

struct StateChange {
  std::string name;
  std::string value;  // "" when the state file went away
};

class StateWatcher {
 public:
  explicit StateWatcher(std::string directory);

  // Every state now in the directory; none when the directory is missing or refused.
  StateMap scan();

  // Waits up to timeout_ms for the directory to change (or for wake_fd to become readable,
  // when it is not -1) and returns the states whose values differ from the last look.
  std::vector<StateChange> wait_for_changes(int wake_fd, int timeout_ms);

  // Whether inotify watches the directory (else only the once-a-second look).
  bool watching() const { return inotify_.valid() && watch_ >= 0; }

 private:
  void ensure_watch();
  void warn_once(const std::string& key, const char* format, const std::string& name);
  bool read_entry(int dir_fd, const std::string& name, std::string* value);

  std::string directory_;
  UniqueFd inotify_;
  int watch_ = -1;
  StateMap known_;
  std::set<std::string> warned_;
};

}  // namespace nvtd
