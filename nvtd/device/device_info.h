// GetDeviceInformation: manufacturer, model and firmware version of the camera.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// Plain: "Corvane", INFO "model" (at most 23 characters) and "version" (at most 15), both
// empty when missing, serial number and hardware id "N/A".
HandlerOutcome handle_get_device_information(const Request& request, Reply& reply);

}  // namespace nvtd
