// The day/night decision: one step per brightness reading, with a count of eight readings
// beyond a threshold before a switch and a re-assertion of the filter about every 302
// readings on the staying side. Pure: no clock, no effects.
#pragma once

#include <cstdint>

namespace irswitchd {

constexpr int kSwitchCount = 8;
constexpr int32_t kHoldLimit = 300;

struct DayNightState {
  bool is_day = true;
  uint8_t toward_night = 0;
  uint8_t toward_day = 0;
  int32_t hold = 0;
};

enum class DayNightAction { kNone, kToNight, kToDay, kReassertDay, kReassertNight };

// Takes one average luma into the state; returns what the daemon must do.
DayNightAction day_night_step(DayNightState* state, uint32_t average, uint32_t night_threshold,
                              uint32_t day_threshold);

// The average luma of the 96 AE tiles of a CFA statistics result; sum receives the total.
uint32_t average_luma(const uint8_t* cfa_result, uint32_t* sum);

}  // namespace irswitchd
