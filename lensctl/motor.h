// The focus stepper and the infrared-cut filter, driven through the expander's register 1:
// phase patterns paced 2500 us apart, and one-second filter pulses.
#pragma once

#include <cstdint>

#include "lensctl/expander.h"

namespace lensctl {

constexpr unsigned long kStepPacingUs = 2500;
constexpr unsigned long kFilterPulseUs = 1000000;

// Moves steps x count phases toward near or far, then releases the coils. Returns 0, or -1
// when a write fails (the move stops there, without the release).
int near_move(Expander& expander, uint8_t steps, uint8_t count);
int far_move(Expander& expander, uint8_t steps, uint8_t count);

enum class FilterSide { kDay, kNight };
// Drives the filter to one side for a second, then releases it.
void filter_pulse(Expander& expander, FilterSide side);

}  // namespace lensctl
