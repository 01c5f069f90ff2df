// Start-up and shutdown calls into the other parts of nvtd. The settings client (nvtd/getset),
// discovery (nvtd/discovery), the profile store (nvtd/media), the user table (nvtd/core auth)
// and the subscription table (nvtd/events) fill these in as they land.
#include "nvtd/core/service_hooks.h"

#include "nvtd/core/process_state.h"
#include "nvtd/core/user_table.h"
#include "nvtd/discovery/discovery_thread.h"
#include "nvtd/discovery/scopes.h"
#include "nvtd/getset/settings_client.h"

namespace nvtd {

void wait_for_cam_settings() {
  // Settings client: for up to 10 tries, fetch section "CAM"; on failure
  // syslog(LOG_DEBUG, "waiting for CAM settings") and sleep(1).
}

void start_discovery_if_enabled() {
  // A missing key (or CAM not got) reads as -1, which counts as enabled.
  SettingsClient cam;
  cam.GetSection("CAM");
  if (cam.GetIntValue("nvtd_discoverable") != 0) StartDiscovery(HttpPort, true);
}

void reset_tables() {
  // Profile store reset; subscription table reset (HttpPort).
  user_table_reset();
  ScopesInit();
}

void stop_discovery() {
  StopDiscovery();
}

}  // namespace nvtd
