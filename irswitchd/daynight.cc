// The day/night decision and the brightness average.
#include "irswitchd/daynight.h"

#include "imagelib/stats_layout.h"

namespace irswitchd {

DayNightAction day_night_step(DayNightState* s, uint32_t average, uint32_t night_threshold,
                              uint32_t day_threshold) {
  if (s->is_day) {
    if (average < night_threshold) {
      if (++s->toward_night < kSwitchCount) return DayNightAction::kNone;
      s->toward_day = 0;
      s->hold = 0;
      s->is_day = false;
      return DayNightAction::kToNight;
    }
    s->toward_night = 0;
    if (s->hold > kHoldLimit) {
      s->hold = 0;
      return DayNightAction::kReassertDay;
    }
    s->hold++;
    return DayNightAction::kNone;
  }
  if (average > day_threshold) {
    if (++s->toward_day < kSwitchCount) return DayNightAction::kNone;
    s->toward_night = 0;
    s->hold = 0;
    s->is_day = true;
    return DayNightAction::kToDay;
  }
  s->toward_day = 0;
  if (s->hold > kHoldLimit) {
    s->hold = 0;
    return DayNightAction::kReassertNight;
  }
  s->hold++;
  return DayNightAction::kNone;
}

uint32_t average_luma(const uint8_t* cfa_result, uint32_t* sum) {
  constexpr int kTiles = imagelib::kAeRoom;
  uint32_t total = 0;
  for (int i = 0; i < kTiles; ++i) {
    total +=
        imagelib::get_le16(cfa_result + imagelib::kCfaAeOffset + i * imagelib::kAeTileBytes) / 64;
  }
  if (sum != nullptr) *sum = total;
  return total / kTiles;
}

}  // namespace irswitchd
