// Zero configuration is reported off, in a complete envelope without a header.
#include "nvtd/device/zero_configuration.h"

#include "nvtd/device/network_templates.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

HandlerOutcome handle_get_zero_configuration(const Request&, Reply& reply) {
  send_envelope(reply, "%s", kGetZeroConfigurationEnvelope.c_str());
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
