// The calls start-up and shutdown make into the other parts of nvtd: the settings client,
// discovery, and the tables of profiles, users, subscriptions and scopes. Each body says which
// module fills it in; until then they do nothing.
#pragma once

namespace nvtd {

// Up to 10 attempts to fetch the settings server's CAM section, a second apart, logging
// "waiting for CAM settings" after each failure; then go on regardless.
void wait_for_cam_settings();

// Starts the discovery thread with HttpPort when CAM "nvtd_discoverable" is non-zero
// (in every mode, CGI included).
void start_discovery_if_enabled();

// Resets the profile store, the user table, the subscription table (given HttpPort) and the
// scope list.
void reset_tables();

// Stops the discovery thread (sets its stop flag and joins it) if it runs.
void stop_discovery();

}  // namespace nvtd
