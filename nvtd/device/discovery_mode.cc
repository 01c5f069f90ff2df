// The discovery mode. The flag itself is the discovery thread's `Discoverable`; the
// setting is written through the request's cached CAM client, write failures unreported.
#include "nvtd/device/discovery_mode.h"

#include <string>
#include <string_view>

#include "nvtd/core/process_state.h"
#include "nvtd/device/network_reply.h"
#include "nvtd/device/network_templates.h"
#include "nvtd/discovery/discovery_thread.h"
#include "nvtd/getset/section_cache.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

void write_discoverable(int value) {
  SettingsClient* cam = section(SectionId::kCam);
  if (cam != nullptr) cam->SetIntValue("CAM", "nvtd_discoverable", value, true);
}

}  // namespace

HandlerOutcome handle_get_discovery_mode(const Request&, Reply& reply) {
  send_body(reply, kGetDiscoveryModeResponse, Discoverable ? "" : "Non");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_discovery_mode(const Request& request, Reply& reply) {
  std::string_view body = request.body;
  std::string mode = element_text(body, "DiscoveryMode", 32).value_or("");
  if (mode == "NonDiscoverable") {
    Discoverable = false;
    stop_discovery_thread();
    write_discoverable(0);
  } else if (mode == "Discoverable") {
    Discoverable = true;
    start_discovery_thread(config().http_port, false);
    write_discoverable(1);
  }
  send_empty_device_response(reply, "SetDiscoveryMode");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
