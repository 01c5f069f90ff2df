// The two video Set operations: SetVideoEncoderConfiguration, the one media operation that
// writes camera settings (frame rate, bitrate, GOV length and encoding of streams 1 and 2),
// and SetVideoSourceConfiguration, which only checks the bounds against the fixed source.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// The directories whose presence (execute access) turns SetVideoEncoderConfiguration into a
// success that changes nothing: an application on the camera owns the encoder settings.
inline constexpr const char* kApplicationDirectories[] = {
    "/usr/local/apps/corvane", "/usr/local/apps/harborlane", "/usr/local/apps/fennick-ridge"};

// Plain handlers: the elements are read from the whole request body.
HandlerOutcome handle_set_video_encoder_config(const Request& request, Reply& reply);
HandlerOutcome handle_set_video_source_config(const Request& request, Reply& reply);

}  // namespace nvtd
