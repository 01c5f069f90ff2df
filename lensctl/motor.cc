// Motor moves and filter pulses.
#include "lensctl/motor.h"

#include <array>

#include "imagelib/platform/device.h"

namespace lensctl {

namespace {

constexpr std::array<uint8_t, 4> kNearPhases = {0x39, 0x3A, 0x36, 0x35};  // "9:65"
constexpr std::array<uint8_t, 4> kFarPhases = {0x35, 0x36, 0x3A, 0x39};   // "56:9"
constexpr uint8_t kFilterDay = 0x2F;
constexpr uint8_t kFilterNight = 0x1F;

int move(Expander& expander, const std::array<uint8_t, 4>& phases, uint8_t steps, uint8_t count) {
  const int n = steps * count;
  for (int i = 0; i < n; ++i) {
    if (expander.write_register(kOutputRegister, phases[i % 4]) < 0) return -1;
    platform::device_pause_us(kStepPacingUs);
  }
  return expander.write_register(kOutputRegister, kIdle);
}

}  // namespace

int near_move(Expander& expander, uint8_t steps, uint8_t count) {
  return move(expander, kNearPhases, steps, count);
}

int far_move(Expander& expander, uint8_t steps, uint8_t count) {
  return move(expander, kFarPhases, steps, count);
}

void filter_pulse(Expander& expander, FilterSide side) {
  expander.write_register(kOutputRegister, side == FilterSide::kDay ? kFilterDay : kFilterNight);
  platform::device_pause_us(kFilterPulseUs);
  expander.write_register(kOutputRegister, kIdle);
}

}  // namespace lensctl
