// The start-up wait for the CAM section.

#include "nvtd/getset/cam_wait.h"

#include <syslog.h>
#include <unistd.h>

#include "nvtd/getset/settings_client.h"

namespace nvtd {

int wait_for_cam_settings(int attempts, const std::function<void()>& pause) {
  SettingsClient cam;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (cam.GetSection("CAM") == 0) break;
    syslog(LOG_DEBUG, "waiting for CAM settings");
    pause();
  }
  return cam.GetIntValue("nvtd_discoverable");
}

int wait_for_cam_settings() {
  return wait_for_cam_settings(10, [] { ::sleep(1); });
}

}  // namespace nvtd
