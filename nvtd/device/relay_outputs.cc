// Relay outputs: fixed answers.
#include "nvtd/device/relay_outputs.h"

#include "nvtd/device/device_templates.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

int handle_get_relay_outputs(const Request&, Reply& reply) {
  send_body(reply, 0, "%s", kRelayOutputsResponse);
  return 0;
}

int handle_set_relay_output_settings(const Request&, Reply& reply) {
  send_body(reply, 0, "%s", kSetRelayOutputSettingsResponse);
  return 0;
}

int handle_set_relay_output_state(const Request&, Reply& reply) {
  send_body(reply, 0, "%s", kSetRelayOutputStateResponse);
  return 0;
}

}  // namespace nvtd
