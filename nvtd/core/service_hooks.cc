// Start-up and shutdown calls into the other parts of nvtd. The settings client (nvtd/getset),
// discovery (nvtd/discovery), the profile store (nvtd/media), the user table (nvtd/core auth)
// and the subscription table (nvtd/events) fill these in as they land.
#include "nvtd/core/service_hooks.h"

#include "nvtd/core/process_state.h"
#include "nvtd/core/request_hooks.h"
#include "nvtd/core/user_table.h"
#include "nvtd/discovery/discovery_thread.h"
#include "nvtd/discovery/scopes.h"
#include "nvtd/events/event_service.h"
#include "nvtd/getset/cam_wait.h"
#include "nvtd/getset/section_cache.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/netconfig/net_system.h"

namespace nvtd {
namespace {

// CAM "nvtd_discoverable" as read at start-up; -1 when CAM or the key was missing.
int cam_discoverable = -1;

}  // namespace

void wait_for_settings() {
  set_net_traces(Server || Persist);  // in CGI mode standard output is the response
  set_request_hooks(section_cache_fill, section_cache_release);
  cam_discoverable = wait_for_cam_settings();
}

void start_discovery_if_enabled() {
  // A missing key (or CAM not got) reads as -1, which counts as enabled.
  if (cam_discoverable != 0) StartDiscovery(HttpPort, true);
}

void reset_tables() {
  profile_store_reset();
  user_table_reset();
  EventInit(HttpPort);
  ScopesInit();
}

void stop_discovery() {
  StopDiscovery();
}

}  // namespace nvtd
