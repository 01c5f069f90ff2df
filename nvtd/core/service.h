// The nvtd process: start-up in order, the run mode's request loop and shutdown.
#pragma once

namespace nvtd {

// Runs nvtd with its command line and environment; returns the exit status.
int run_nvtd(int argc, const char* const* argv);

// Installs the handler for SIGINT, SIGQUIT, SIGTERM (set StopRequested) and SIGPIPE (nothing).
// Blocking calls are interrupted, so the loops see the stop flag.
void install_signal_handlers();

}  // namespace nvtd
