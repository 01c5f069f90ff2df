// The Media2 forms of the encoder configurations (tt:VideoEncoder2Configuration and
// tt:AudioEncoder2Configuration), from the same settings readers as Media1's texts; the video
// source, audio source and metadata configurations are Media1's texts (config_elements.h)
// under tr2 element names. `tag` is the element name ("tr2:VideoEncoder").
#pragma once

#include <string>

#include "nvtd/media/config_elements.h"

namespace nvtd {

// GovLength and Profile only for H.264; no multicast (the camera streams unicast only).
std::string video_encoder2_configuration(const char* tag, const VideoEncoderView& view);

// "T-AEConf-00" with the encoding's media subtype, bitrate and sample rate.
std::string audio_encoder2_configuration(const char* tag, int use_count);

// The audio encoding as Media2 names it: "PCMU" for G.711, "MP4A-LATM" for AAC.
const char* audio_encoding2();

}  // namespace nvtd
