// The audio operations of the media service: the audio source, its configuration and
// options, the audio encoder configuration and options, and their Set operations, which
// check the request against the fixed configuration and write nothing.
#pragma once

#include <optional>
#include <string>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// The one path by which the media services set the audio encoder configuration: accepted
// (true) when the encoding (if given) is "G711", the bitrate 64 and the sample rate 8, the only
// values the encoder takes. Nothing is written.
bool set_audio_encoder(const std::optional<std::string>& encoding,
                       const std::optional<std::string>& bitrate,
                       const std::optional<std::string>& sample_rate);

// The options content both services list for the audio source and for the audio encoder's
// bitrate and sample rate.
inline constexpr char kAudioSourceOptions[] =
    "<tt:InputTokensAvailable>T-AudioSource-00</tt:InputTokensAvailable>";
inline constexpr char kAudioRateOptions[] =
    "<tt:BitrateList><tt:Items>64</tt:Items></tt:BitrateList>"
    "<tt:SampleRateList><tt:Items>8</tt:Items></tt:SampleRateList>";

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
