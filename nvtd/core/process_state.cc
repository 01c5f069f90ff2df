// Process-wide state of nvtd and the trace printers that depend on the run mode.
#include "nvtd/core/process_state.h"

#include <cstdarg>
#include <cstdio>

namespace nvtd {

namespace {
Config current;
}  // namespace

const Config& config() {
  return current;
}
void set_config(const Config& value) {
  current = value;
}

std::atomic<bool> StopRequested{false};
bool HwAudio = true;
int32_t RelayCount = 0;

void trace(const char* format, ...) {
  if (!config().server && !config().persist) return;
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
}

void trace_verbose(const char* format, ...) {
  if ((!config().server && !config().persist) || config().verbose == 0) return;
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
}

}  // namespace nvtd
