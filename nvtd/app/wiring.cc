// Assembly of nvtd from its rooms: the operation table and the start-up wiring.
#include "nvtd/app/wiring.h"

#include "nvtd/core/process_state.h"
#include "nvtd/core/request_hooks.h"
#include "nvtd/device/device_operations.h"
#include "nvtd/discovery/discovery_operations.h"
#include "nvtd/discovery/discovery_thread.h"
#include "nvtd/discovery/scopes.h"
#include "nvtd/events/event_operations.h"
#include "nvtd/events/event_service.h"
#include "nvtd/getset/cam_wait.h"
#include "nvtd/getset/section_cache.h"
#include "nvtd/imaging/imaging_operations.h"
#include "nvtd/media/media_operations.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/netconfig/net_system.h"

namespace nvtd {
namespace {

// CAM "nvtd_discoverable" as read at start-up; -1 when CAM or the key was missing.
int cam_discoverable = -1;

void connect_settings() {
  set_net_traces(config().server ||
                 config().persist);  // in CGI mode standard output is the response
  set_request_hooks(section_cache_fill, section_cache_release);
  cam_discoverable = wait_for_cam_settings();
}

void start_discovery() {
  // A missing key (or CAM not got) reads as -1, which counts as enabled.
  if (cam_discoverable != 0) start_discovery_thread(config().http_port, true);
}

void reset_tables() {
  profile_store_reset();
  event_init(config().http_port);
  if (config().server || config().persist)
    event_start_watcher();  // camera states raise events while nvtd runs
  scopes_init();
}

}  // namespace

OperationTable make_operation_table() {
  return OperationTable{device_operations(), media_operations(), event_operations(),
                        discovery_operations(), imaging_operations()};
}

ServiceWiring make_service_wiring() {
  ServiceWiring wiring;
  wiring.operations = make_operation_table();
  wiring.connect_settings = connect_settings;
  wiring.start_discovery = start_discovery;
  wiring.reset_tables = reset_tables;
  wiring.stop_discovery = stop_discovery_thread;
  return wiring;
}

}  // namespace nvtd
