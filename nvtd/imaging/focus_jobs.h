// Focus jobs beside the request loop: a Relative or Continuous move or an autofocus runs
// `lensctl` in a process of its own (forked twice, so nothing waits for it and no process is
// left to reap), one at a time. The job holds a lock on a file that also names its kind and
// process, so any nvtd process (CGI, relay or server mode) can tell whether one runs and stop it.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace nvtd {

inline constexpr char kFocusLockPath[] = "/run/nvtd-focus.lock";
inline constexpr char kLensctlPath[] = "/usr/local/bin/lensctl";

// Continuous moves go in chunks of this many steps (a multiple of the motor's four phases, so
// no chunk loses a step to the one before), at most this many steps in all.
inline constexpr int kChunkSteps = 20;
inline constexpr int kContinuousMaxSteps = 2000;
// lensctl takes 8-bit step and count arguments: longer moves are runs of this many steps.
inline constexpr int kRunSteps = 200;

enum class FocusJobKind { kRelative, kContinuous, kAutofocus };
enum class FocusActivity { kIdle, kMoving, kAutofocus };

struct FocusJob {
  FocusJobKind kind = FocusJobKind::kRelative;
  int steps = 0;       // kRelative: far positive
  double speed = 0.0;  // kContinuous: -1 to 1, far positive
};

// The lensctl argument lists a job runs in order (a Continuous job repeats its one list).
std::vector<std::vector<std::string>> lensctl_runs(const FocusJob& job);
// The pause after each Continuous chunk, in microseconds: none at full speed.
long chunk_pause_us(double speed);

// Where the jobs run: the lock file and the lensctl program (tests point both elsewhere).
struct FocusPlace {
  std::string lock_path = kFocusLockPath;
  std::string lensctl = kLensctlPath;
};

// What runs now.
FocusActivity focus_activity(const FocusPlace& place = {});
// Starts a job: 0 started, 1 refused because a job runs, -1 on a system failure.
int start_focus_job(const FocusJob& job, const FocusPlace& place = {});
// Ends a running move (after its current lensctl run); an autofocus runs on. 0, or -1 when
// no move runs.
int stop_focus_move(const FocusPlace& place = {});

}  // namespace nvtd
