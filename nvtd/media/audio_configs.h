// The audio operations of the media service: the audio source, its configuration and
// options, the audio encoder configuration and options, and their Set operations, which
// check the request against the fixed configuration and write nothing.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_get_audio_sources(const Request& request, Reply& reply);
HandlerOutcome handle_get_audio_source_configs(const Request& request, Reply& reply);
HandlerOutcome handle_get_compatible_audio_source_configs(const Request& request, Reply& reply);
HandlerOutcome handle_get_audio_source_config(const Request& request, Reply& reply);  // body part
HandlerOutcome handle_get_audio_source_config_options(const Request& request,
                                                      Reply& reply);                  // body part
HandlerOutcome handle_set_audio_source_config(const Request& request, Reply& reply);  // body part
HandlerOutcome handle_get_audio_encoder_configs(const Request& request, Reply& reply);
HandlerOutcome handle_get_compatible_audio_encoder_configs(const Request& request, Reply& reply);
HandlerOutcome handle_get_audio_encoder_config(const Request& request, Reply& reply);
HandlerOutcome handle_get_audio_encoder_config_options(const Request& request, Reply& reply);
HandlerOutcome handle_set_audio_encoder_config(const Request& request, Reply& reply);

}  // namespace nvtd
