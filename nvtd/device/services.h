// GetServices and GetServiceCapabilities: where the device, events, media, device I/O,
// imaging and Media2 services are, and what each of them can do.
#pragma once

#include <string>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// The six tds:Service elements (device, events, media, device I/O, imaging, Media2); with
// capabilities between each XAddr and Version when with_capabilities is set.
std::string service_list(const std::string& address, bool with_capabilities);

// The service whose address the request URI names (nullptr when the request has none): the
// device service unless another's is named.
Service service_for_uri(const char* request_uri);

// Media2's tr2:Capabilities (the Media2 room answers GetServiceCapabilities with them).
std::string media2_service_capabilities();

// GetServices (open, plain): "IncludeCapability" (at most 31 characters) present and not
// "false" gives the long form.
HandlerOutcome handle_get_services(const Request& request, Reply& reply);

// GetServiceCapabilities (open, plain): chosen by the request's namespace, else its URI.
HandlerOutcome handle_get_service_capabilities(const Request& request, Reply& reply);

}  // namespace nvtd
