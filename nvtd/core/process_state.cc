// Process-wide state of nvtd and the trace printers that depend on the run mode.
#include "nvtd/core/process_state.h"

#include <cstdarg>
#include <cstdio>

namespace nvtd {

bool Server = false;
bool Persist = false;
bool NoAuth = false;
int32_t Verbose = 0;
std::atomic<bool> StopRequested{false};
int32_t TokenWindow = 300;
int32_t HttpPort = 80;
bool HwAudio = true;
int32_t RelayCount = 0;

void trace(const char* format, ...) {
  if (!Server && !Persist) return;
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
}

void trace_verbose(const char* format, ...) {
  if ((!Server && !Persist) || Verbose == 0) return;
  va_list args;
  va_start(args, format);
  vprintf(format, args);
  va_end(args);
}

void reset_process_state() {
  Server = Persist = NoAuth = false;
  Verbose = 0;
  StopRequested = false;
  TokenWindow = 300;
  HttpPort = 80;
  HwAudio = true;
  RelayCount = 0;
}

}  // namespace nvtd
