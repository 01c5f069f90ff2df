// The virtual expander: coil patterns move the lens a step forward or back in the phase
// sequence; a filter drive pattern throws the filter to its side.
#include "testbed/vcam/expander.h"

#include <cstdio>

namespace vcam {

namespace {

constexpr int kConfigRegister = 3;
constexpr int kOutputRegister = 1;
constexpr int kPhaseCoils[4] = {0x9, 0xA, 0x6, 0x5};

void drive_motor(State& state, int coils) {
  const int to = phase_index(coils);
  if (to < 0) return;  // released or not a phase: the rotor stays
  const int turn = (to - state.phase + 4) % 4;
  if (turn == 1) state.focus -= 1;  // the next phase pulls toward near
  if (turn == 3) state.focus += 1;  // the previous one toward far
  // turn 2: opposite coils, the rotor can't tell which way and stays
  state.phase = to;
}

void drive_filter(State& state, int pins) {
  const bool day_low = (pins & 0x10) == 0;
  const bool night_low = (pins & 0x20) == 0;
  if (day_low && !night_low) state.filter = Filter::kDay;
  if (night_low && !day_low) state.filter = Filter::kNight;
}

}  // namespace

int phase_index(int coils) {
  for (int i = 0; i < 4; ++i) {
    if ((coils & 0xF) == kPhaseCoils[i]) return i;
  }
  return -1;
}

std::string expander_write(State& state, int reg, int value) {
  value &= 0xFF;
  if (reg == kConfigRegister) state.config = value;
  if (reg == kOutputRegister) {
    state.output = value;
    // Only pins configured as outputs (0 bits of the configuration) drive anything.
    const int pins = value | state.config;
    drive_motor(state, pins & 0xF);
    drive_filter(state, pins);
  }
  state.writes++;
  char line[160];
  snprintf(line, sizeof line, "t=%lld reg=%d val=0x%02X focus=%lld filter=%s reads=%lld",
           static_cast<long long>(state.clock_us), reg, value, static_cast<long long>(state.focus),
           filter_name(state.filter), static_cast<long long>(state.reads));
  return line;
}

}  // namespace vcam
