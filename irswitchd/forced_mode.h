// The filter mode nvtd's imaging service asks for: the camera state "ircut-mode" ("auto",
// "day", "night"), read at every reading. While it says day or night the daemon holds that
// side (switching there at once and re-asserting it as it does its own); auto, a missing file
// or any other value leaves the choice to the brightness.
#pragma once

#include <string>

#include "irswitchd/daynight.h"

namespace irswitchd {

enum class ForcedMode { kAuto, kDay, kNight };

// The mode a state value stands for.
ForcedMode forced_mode_from(const std::string& value);

// The mode in the state directory; kAuto when the file is missing or unreadable, or the
// directory is refused (camera_state::open_directory).
ForcedMode read_forced_mode(const std::string& directory);

// One reading under a day or night mode: kToDay or kToNight when the state is on the other
// side (the counts start again), otherwise the staying side's hold count and re-assertion.
DayNightAction forced_step(DayNightState* state, ForcedMode mode);

}  // namespace irswitchd
