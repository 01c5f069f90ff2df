// GetWsdlUrl, answered before authentication (PRE_AUTH), from the NETWORK address and the
// service port.
#include "nvtd/device/wsdl_url.h"

#include <string>

#include "nvtd/core/process_state.h"
#include "nvtd/device/device_templates.h"
#include "nvtd/device/service_address.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

HandlerOutcome handle_get_wsdl_url(const Request&, Reply& reply) {
  std::string address = camera_address_open();
  send_body(reply, kWsdlUrlResponse, address.c_str(), config().http_port);
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
