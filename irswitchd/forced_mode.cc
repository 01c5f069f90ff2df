// The forced filter mode: the state file's value and the step that holds its side.
#include "irswitchd/forced_mode.h"

#include <sys/stat.h>

#include "common/state_file.h"

namespace irswitchd {

ForcedMode forced_mode_from(const std::string& value) {
  if (value == "day") return ForcedMode::kDay;
  if (value == "night") return ForcedMode::kNight;
  return ForcedMode::kAuto;
}

ForcedMode read_forced_mode(const std::string& directory) {
  // A directory others may write could hold anyone's mode: it is not listened to.
  struct stat st {};
  if (::lstat(directory.c_str(), &st) != 0 || !camera_state::directory_is_safe(st)) {
    return ForcedMode::kAuto;
  }
  std::string value;
  if (camera_state::read(directory, kForcedModeState, &value) != 0) return ForcedMode::kAuto;
  return forced_mode_from(value);
}

DayNightAction forced_step(DayNightState* s, ForcedMode mode) {
  const bool want_day = mode == ForcedMode::kDay;
  s->toward_night = 0;
  s->toward_day = 0;
  if (s->is_day != want_day) {
    s->is_day = want_day;
    s->hold = 0;
    return want_day ? DayNightAction::kToDay : DayNightAction::kToNight;
  }
  if (s->hold > kHoldLimit) {
    s->hold = 0;
    return want_day ? DayNightAction::kReassertDay : DayNightAction::kReassertNight;
  }
  s->hold++;
  return DayNightAction::kNone;
}

}  // namespace irswitchd
