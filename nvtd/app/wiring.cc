// Assembly of nvtd from its rooms: the operation table and the start-up wiring.
#include "nvtd/app/wiring.h"

#include <memory>

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
#include "nvtd/media2/media2_operations.h"
#include "nvtd/netconfig/net_system.h"

namespace nvtd {
namespace {

// What the program owns beside the operation table, for the life of the process: the event
// service, made at start-up once the port is known and handed to the event handlers.
struct ProgramRooms {
  std::unique_ptr<EventService> events;
  // CAM "nvtd_discoverable" as read at start-up; -1 when CAM or the key was missing.
  int cam_discoverable = -1;

  ~ProgramRooms() {
    if (events) use_event_service(nullptr);  // the handlers no longer reach it
  }
};

void connect_settings(ProgramRooms& rooms) {
  set_net_traces(config().server ||
                 config().persist);  // in CGI mode standard output is the response
  set_request_hooks(section_cache_fill, section_cache_release);
  set_settings_failed_check(section_cache_failed);
  rooms.cam_discoverable = wait_for_cam_settings();
}

void start_discovery(const ProgramRooms& rooms) {
  // A missing key (or CAM not got) reads as -1, which counts as enabled.
  if (rooms.cam_discoverable != 0) start_discovery_thread(config().http_port, true);
}

void reset_tables(ProgramRooms& rooms) {
  profile_store_reset();
  if (rooms.events) use_event_service(nullptr);
  rooms.events = std::make_unique<EventService>(config().http_port);
  use_event_service(rooms.events.get());
  if (config().server || config().persist)
    rooms.events->start_watcher();  // camera states raise events
  scopes_init();
}

}  // namespace

OperationTable make_operation_table() {
  return OperationTable{device_operations(),    media_operations(),   event_operations(),
                        discovery_operations(), imaging_operations(), media2_operations()};
}

ServiceWiring make_service_wiring() {
  auto rooms = std::make_shared<ProgramRooms>();
  ServiceWiring wiring;
  wiring.operations = make_operation_table();
  wiring.connect_settings = [rooms] { connect_settings(*rooms); };
  wiring.start_discovery = [rooms] { start_discovery(*rooms); };
  wiring.reset_tables = [rooms] { reset_tables(*rooms); };
  wiring.stop_discovery = stop_discovery_thread;
  return wiring;
}

}  // namespace nvtd
