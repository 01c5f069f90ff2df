// The forced filter mode: the state file's value and the step that holds its side.
#include "irswitchd/forced_mode.h"

#include "common/state_file.h"

namespace irswitchd {

ForcedMode forced_mode_from(const std::string& value) {
  if (value == camera_state::kModeDay) return ForcedMode::kDay;
  if (value == camera_state::kModeNight) return ForcedMode::kNight;
  return ForcedMode::kAuto;
}

ForcedMode read_forced_mode(const std::string& directory) {
  // A directory others may write could hold anyone's mode: it is not listened to.
  std::string value;
  if (camera_state::read(directory, camera_state::kIrCutMode, &value) != 0) {
    return ForcedMode::kAuto;
  }
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
