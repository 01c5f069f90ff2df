// The read-only video operations of the media service: video sources, video source and
// video encoder configurations, their options, and the guaranteed encoder instances.
// All are plain handlers (they read the request body themselves).
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_get_video_sources(const Request& request, Reply& reply);
HandlerOutcome handle_get_video_source_configs(const Request& request, Reply& reply);
HandlerOutcome handle_get_video_source_config(const Request& request, Reply& reply);
HandlerOutcome handle_get_compatible_video_source_configs(const Request& request, Reply& reply);
HandlerOutcome handle_get_video_source_config_options(const Request& request, Reply& reply);
HandlerOutcome handle_get_video_encoder_configs(const Request& request, Reply& reply);
HandlerOutcome handle_get_video_encoder_config(const Request& request, Reply& reply);
HandlerOutcome handle_get_compatible_video_encoder_configs(const Request& request, Reply& reply);
HandlerOutcome handle_get_video_encoder_config_options(const Request& request, Reply& reply);
HandlerOutcome handle_get_guaranteed_encoders(const Request& request, Reply& reply);

}  // namespace nvtd
