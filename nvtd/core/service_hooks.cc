// Start-up and shutdown calls into the other parts of nvtd. The settings client (nvtd/getset),
// discovery (nvtd/discovery), the profile store (nvtd/media), the user table (nvtd/core auth)
// and the subscription table (nvtd/events) fill these in as they land.
#include "nvtd/core/service_hooks.h"

#include "nvtd/core/process_state.h"
#include "nvtd/core/user_table.h"
#include "nvtd/events/event_service.h"

namespace nvtd {

void wait_for_cam_settings() {
  // Settings client: for up to 10 tries, fetch section "CAM"; on failure
  // syslog(LOG_DEBUG, "waiting for CAM settings") and sleep(1).
}

void start_discovery_if_enabled() {
  // Discovery: if CAM "nvtd_discoverable" is non-zero, StartDiscovery(HttpPort).
}

void reset_tables() {
  // Profile store reset; scope list reset.
  user_table_reset();
  EventInit(HttpPort);
}

void stop_discovery() {
  // Discovery: StopDiscovery() (sets the stop flag and joins the thread).
}

}  // namespace nvtd
