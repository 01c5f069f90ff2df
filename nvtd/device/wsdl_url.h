// GetWsdlUrl: where the camera's WSDL would be served.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// Plain: "http://A:P/wsdl/onvif" with the NETWORK address (read through a client of its own:
// no section cache exists before authentication) and the service port.
HandlerOutcome handle_get_wsdl_url(const Request& request, Reply& reply);

}  // namespace nvtd
