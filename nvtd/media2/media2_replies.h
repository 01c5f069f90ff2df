// Reply framing of the Media2 handlers: a tr2 response element, declaring its prefix (the
// shared envelope opening does not), in a body sent whole; and GetServiceCapabilities.
#pragma once

#include <string_view>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"
#include "nvtd/soap/envelope.h"

namespace nvtd {

inline constexpr char kTr2Declaration[] = " xmlns:tr2=\"" NS_TR2 "\"";

// "<SOAP-ENV:Body><tr2:NAME xmlns:tr2=...>CONTENT</tr2:NAME></SOAP-ENV:Body></SOAP-ENV:Envelope>"
void send_tr2_response(Reply& reply, const char* name, std::string_view content = {});

// GetServiceCapabilities (open, plain): the capabilities GetServices lists for Media2.
HandlerOutcome handle_get_service_capabilities2(const Request& request, Reply& reply);

}  // namespace nvtd
