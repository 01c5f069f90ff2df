// Relay outputs: fixed answers.
#include "nvtd/device/relay_outputs.h"

#include "nvtd/device/device_templates.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

HandlerOutcome handle_get_relay_outputs(const Request&, Reply& reply) {
  send_body(reply, "%s", kRelayOutputsResponse);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_relay_output_settings(const Request&, Reply& reply) {
  send_body(reply, "%s", kSetRelayOutputSettingsResponse);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_io_relay_output_settings(const Request&, Reply& reply) {
  send_body(reply, "%s", kSetIoRelayOutputSettingsResponse);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_relay_output_state(const Request&, Reply& reply) {
  send_body(reply, "%s", kSetRelayOutputStateResponse);
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
