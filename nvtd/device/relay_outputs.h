// The relay-output operations of the device service, answered with fixed texts: nothing is
// switched and no setting changes.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// GetRelayOutputs (plain): one bistable relay "t_RelayOut-0", delay PT1S, idle closed.
HandlerOutcome handle_get_relay_outputs(const Request& request, Reply& reply);
// SetRelayOutputSettings, SetRelayOutputState (body part): empty responses.
HandlerOutcome handle_set_relay_output_settings(const Request& request, Reply& reply);
// The device I/O service's SetRelayOutputSettings, whose answer is in that service's namespace.
HandlerOutcome handle_set_io_relay_output_settings(const Request& request, Reply& reply);
HandlerOutcome handle_set_relay_output_state(const Request& request, Reply& reply);

}  // namespace nvtd
