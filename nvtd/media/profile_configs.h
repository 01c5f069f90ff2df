// Adding configurations to and removing them from created profiles: the Add and Remove
// actions for video source, video encoder, audio source and audio encoder configurations,
// and the metadata ones, which change nothing. All are body-part handlers except the two
// metadata actions (plain).
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_add_video_source_config(const Request& request, Reply& reply);
HandlerOutcome handle_add_video_encoder_config(const Request& request, Reply& reply);
HandlerOutcome handle_add_audio_source_config(const Request& request, Reply& reply);
HandlerOutcome handle_add_audio_encoder_config(const Request& request, Reply& reply);
HandlerOutcome handle_remove_video_source_config(const Request& request, Reply& reply);
HandlerOutcome handle_remove_video_encoder_config(const Request& request, Reply& reply);
HandlerOutcome handle_remove_audio_source_config(const Request& request, Reply& reply);
HandlerOutcome handle_remove_audio_encoder_config(const Request& request, Reply& reply);
HandlerOutcome handle_add_metadata_config(const Request& request, Reply& reply);
HandlerOutcome handle_remove_metadata_config(const Request& request, Reply& reply);

}  // namespace nvtd
