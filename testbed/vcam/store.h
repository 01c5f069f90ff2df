// The virtual camera's persistent state: lens position, motor phase, filter, a virtual clock.
// It lives in a small file under the virtual camera's folder (VCAM_DIR, default /tmp/vcam) so
// that it outlives each lensctl run; every change is made under a file lock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vcam {

enum class Filter { kUnknown, kDay, kNight };
const char* filter_name(Filter filter);

struct State {
  int64_t focus = 0;  // lens position in motor steps, far positive
  int phase = 3;      // index of the last energised phase in 0x9, 0xA, 0x6, 0x5
  int config = 0xFF;  // the expander's configuration register (1 bits are inputs)
  int output = 0xFF;  // the expander's output register
  Filter filter = Filter::kUnknown;
  int64_t clock_us = 0;  // virtual time: the sum of all pacing waits
  int64_t reads = 0;     // statistics reports delivered
  int64_t writes = 0;    // register writes accepted
};

std::string format_state(const State& state);
State parse_state(const std::string& text);

// The virtual camera's folder (created when missing).
std::string dir();
// Runs change on the state under the lock and stores the result.
void with_state(const std::function<void(State&)>& change);
// Reads the state under the lock.
State read_state();
// Appends one line to the expander's write log ("i2c.log").
void append_log(const std::string& line);
// Reads a whole file of the folder; empty when missing.
std::string read_file(const std::string& name);

}  // namespace vcam
