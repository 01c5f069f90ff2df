// The calls start-up and shutdown make into the other parts of nvtd: the settings client,
// discovery, and the tables of profiles, users, subscriptions and scopes. Each body says which
// module fills it in; until then they do nothing.
#pragma once

namespace nvtd {

// Connects the settings client: its traces follow the run mode, the section cache is
// filled for every authenticated request, and the CAM section is waited for (up to 10
// attempts a second apart, "waiting for CAM settings" logged after each failure; then
// start-up goes on regardless).
void wait_for_settings();

// Starts the discovery thread with HttpPort when CAM "nvtd_discoverable" is non-zero
// (in every mode, CGI included).
void start_discovery_if_enabled();

// Resets the profile store, the user table, the subscription table (given HttpPort) and the
// scope list.
void reset_tables();

// Stops the discovery thread (sets its stop flag and joins it) if it runs.
void stop_discovery();

}  // namespace nvtd
