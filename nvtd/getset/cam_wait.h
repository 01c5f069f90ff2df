// The start-up wait for the settings server: the CAM section is fetched up to ten times
// a second apart, and its discovery switch is read whether or not a fetch succeeded.
#pragma once

#include <functional>

namespace nvtd {

// Returns "nvtd_discoverable" of CAM (-1 when no fetch succeeded or the key is missing).
// Logs "waiting for CAM settings" (syslog, debug) after each failed attempt.
int wait_for_cam_settings();

// The same with the number of attempts and the pause between them given (tests).
int wait_for_cam_settings(int attempts, const std::function<void()>& pause);

}  // namespace nvtd
