// The nvtd process: start-up in order, the run mode's request loop and shutdown.
#pragma once

#include <functional>

#include "nvtd/core/operation_table.h"

namespace nvtd {

// What the program puts together from the rooms before nvtd starts: the operation table and
// the start-up and shutdown calls into the rooms, in the order run_nvtd makes them.
struct ServiceWiring {
  OperationTable operations;
  // Connects the settings client and waits for the CAM section (traces follow the run mode).
  std::function<void()> connect_settings;
  // Starts the discovery thread unless CAM says the camera is not discoverable.
  std::function<void()> start_discovery;
  // Resets the process-wide tables: profiles, users, subscriptions, scopes.
  std::function<void()> reset_tables;
  // Stops and joins the discovery thread if it runs.
  std::function<void()> stop_discovery;
};

// Runs nvtd with its command line and environment; returns the exit status.
int run_nvtd(int argc, const char* const* argv, const ServiceWiring& wiring);

// Installs the handler for SIGINT, SIGQUIT, SIGTERM (set StopRequested) and SIGPIPE (nothing).
// Blocking calls are interrupted, so the loops see the stop flag.
void install_signal_handlers();

}  // namespace nvtd
