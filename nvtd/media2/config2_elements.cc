// Media2 encoder configuration texts.
#include "nvtd/media2/config2_elements.h"

#include <cstring>

#include "nvtd/media/stream_settings.h"
#include "nvtd/soap/format_text.h"

namespace nvtd {

std::string video_encoder2_configuration(const char* tag, const VideoEncoderView& v) {
  std::string coding;
  if (std::strcmp(v.encoding, "H264") == 0)
    coding = format_text(" GovLength=\"%d\" Profile=\"%s\"", v.gov_length, v.h264_profile);
  return format_text(
      "<%s token=\"%s\"%s><tt:Name>VideoEncoderConfiguration-stream%d</tt:Name>"
      "<tt:UseCount>%d</tt:UseCount><tt:Encoding>%s</tt:Encoding><tt:Resolution><tt:Width>%d"
      "</tt:Width><tt:Height>%d</tt:Height></tt:Resolution><tt:RateControl><tt:FrameRateLimit>"
      "%d</tt:FrameRateLimit><tt:BitrateLimit>%d</tt:BitrateLimit></tt:RateControl>"
      "<tt:Quality>80</tt:Quality></%s>",
      tag, v.token.c_str(), coding.c_str(), v.stream, v.use_count, v.encoding, v.width, v.height,
      v.frame_rate, v.bitrate_kbps, tag);
}

const char* audio_encoding2() {
  return std::strcmp(audio_encoding(), "G711") == 0 ? "PCMU" : "MP4A-LATM";
}

std::string audio_encoder2_configuration(const char* tag, int use_count) {
  return format_text(
      "<%s token=\"T-AEConf-00\"><tt:Name>AudioEncoderConfiguration-00</tt:Name>"
      "<tt:UseCount>%d</tt:UseCount><tt:Encoding>%s</tt:Encoding><tt:Bitrate>%d</tt:Bitrate>"
      "<tt:SampleRate>%d</tt:SampleRate></%s>",
      tag, use_count, audio_encoding2(), audio_bitrate(), audio_sample_rate(), tag);
}

}  // namespace nvtd
