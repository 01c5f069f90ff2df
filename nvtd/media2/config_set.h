// The Media2 Set operations for the video source, video encoder and audio encoder
// configurations: each reads its tt: configuration and goes through the media room's one
// check-and-write function of that kind, the one Media1's Set handler uses.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_media2_set_video_source_config(const Request& request, Reply& reply);
HandlerOutcome handle_media2_set_video_encoder_config(const Request& request, Reply& reply);
HandlerOutcome handle_media2_set_audio_encoder_config(const Request& request, Reply& reply);

}  // namespace nvtd
