// The virtual I/O expander on the lens board: register 3 configures which pins drive,
// register 1 drives them. Bits 0 to 3 energise the focus stepper's coils, bits 4 and 5 the
// infrared-cut filter's coil (bit 4 low: day position, bit 5 low: night position).
#pragma once

#include <string>

#include "testbed/vcam/store.h"

namespace vcam {

constexpr int kExpanderAddress = 0x73;

// Applies one register write to the state (moving lens and filter as the pins say) and
// returns the log line that records it.
std::string expander_write(State& state, int reg, int value);

// The phase index (0 to 3 in the coil sequence 0x9, 0xA, 0x6, 0x5) of a coil pattern, or
// -1 when the pattern energises no single phase.
int phase_index(int coils);

}  // namespace vcam
