// The NTP operations answer with fixed texts.
#include "nvtd/device/ntp.h"

#include "nvtd/device/network_templates.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

HandlerOutcome handle_get_ntp(const Request&, Reply& reply) {
  send_body(reply, kGetNtpResponse);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_ntp(const Request&, Reply& reply) {
  send_envelope(reply, "%s", kSetNtpEnvelope.c_str());
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
