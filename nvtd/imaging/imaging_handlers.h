// The imaging service's handlers: the IR-cut filter mode (told to irswitchd through the camera
// state "ircut-mode") and the focus (moves and autofocus run as focus jobs beside the loop).
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_get_imaging_settings(const Request& request, Reply& reply);
HandlerOutcome handle_set_imaging_settings(const Request& request, Reply& reply);
HandlerOutcome handle_get_imaging_options(const Request& request, Reply& reply);
HandlerOutcome handle_get_move_options(const Request& request, Reply& reply);
HandlerOutcome handle_focus_move(const Request& request, Reply& reply);
HandlerOutcome handle_focus_stop(const Request& request, Reply& reply);
HandlerOutcome handle_get_imaging_status(const Request& request, Reply& reply);

}  // namespace nvtd
