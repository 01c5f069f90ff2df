// Relay outputs: fixed answers.
#include "nvtd/device/relay_outputs.h"

#include "nvtd/core/writers.h"
#include "nvtd/device/device_templates.h"

namespace nvtd {

int handle_get_relay_outputs() {
  send_body(0, "%s", kRelayOutputsResponse);
  return 0;
}

int handle_set_relay_output_settings(const char* /*text*/, int /*length*/) {
  send_body(0, "%s", kSetRelayOutputSettingsResponse);
  return 0;
}

int handle_set_relay_output_state(const char* /*text*/, int /*length*/) {
  send_body(0, "%s", kSetRelayOutputStateResponse);
  return 0;
}

}  // namespace nvtd
