// The Media2 configuration listings and their options: video source, video encoder, audio
// source, audio encoder and metadata, each filtered by ConfigurationToken and ProfileToken.
// The configurations are the media room's fixed ones, in the texts it writes.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_media2_get_video_source_configs(const Request& request, Reply& reply);
HandlerOutcome handle_media2_get_video_encoder_configs(const Request& request, Reply& reply);
HandlerOutcome handle_media2_get_audio_source_configs(const Request& request, Reply& reply);
HandlerOutcome handle_media2_get_audio_encoder_configs(const Request& request, Reply& reply);
HandlerOutcome handle_media2_get_metadata_configs(const Request& request, Reply& reply);

HandlerOutcome handle_media2_video_source_options(const Request& request, Reply& reply);
HandlerOutcome handle_media2_video_encoder_options(const Request& request, Reply& reply);
HandlerOutcome handle_media2_audio_source_options(const Request& request, Reply& reply);
HandlerOutcome handle_media2_audio_encoder_options(const Request& request, Reply& reply);
HandlerOutcome handle_media2_metadata_options(const Request& request, Reply& reply);

}  // namespace nvtd
