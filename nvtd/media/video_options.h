// The option texts of the video configurations: the bounds a video source configuration may
// take, and the resolutions and ranges of the JPEG and H.264 encoders.
#pragma once

#include <string>

namespace nvtd {

// The GetVideoSourceConfigurationOptionsResponse element for a source of width x height, in
// the namespace of `prefix` ("trt" or "tr2"; the options are ONVIF's one type in both).
std::string video_source_options_response(int width, int height, const char* prefix = "trt");
// The GetVideoEncoderConfigurationOptionsResponse element for a stream of width x height.
std::string video_encoder_options_response(int width, int height);

}  // namespace nvtd
