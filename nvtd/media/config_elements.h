// The media service's configuration elements, each text written once: the video source,
// video encoder, audio source, audio encoder and metadata configurations. The profile
// listings put them in tt: elements; the configuration handlers use the same texts inside
// their trt:Configuration(s) wrappers. `tag` is the element's start-tag name, optionally
// followed by attributes that come before the token (` fixed="true"`).
#pragma once

#include <string>

namespace nvtd {

inline constexpr char kVideoSourceTag[] = "tt:VideoSourceConfiguration";
inline constexpr char kVideoEncoderTag[] = "tt:VideoEncoderConfiguration";
inline constexpr char kAudioSourceTag[] = "tt:AudioSourceConfiguration";
inline constexpr char kAudioEncoderTag[] = "tt:AudioEncoderConfiguration";
inline constexpr char kMetadataTag[] = "tt:MetadataConfiguration";

// "T-VSConf-00" on source "HD" with its bounds; listings of fixed profiles and
// GetVideoSourceConfiguration(s) write width before height, created profiles and
// GetCompatibleVideoSourceConfigurations height before width.
enum class BoundsOrder { kWidthFirst, kHeightFirst };
std::string video_source_configuration(const char* tag, int use_count, int width, int height,
                                       BoundsOrder order);

struct VideoEncoderView {
  std::string token;  // already safe for an attribute
  int stream = 1;     // the number in the name "VideoEncoderConfiguration-stream%d"
  int use_count = 2;
  const char* encoding = "H264";
  int width = 0, height = 0, frame_rate = 0, bitrate_kbps = 0, gov_length = 0;
  const char* h264_profile = "Baseline";
  const char* session_timeout = "PT60S";
};
// The values of stream `stream` from the section cache, with the given token and use count.
VideoEncoderView video_encoder_view(const std::string& token, int stream, int use_count);
std::string video_encoder_configuration(const char* tag, const VideoEncoderView& view);

// The same encoder as the Media2 service's tt:VideoEncoder2Configuration: GOV length and
// profile as attributes, frame rate and bitrate in RateControl, quality last.
std::string video_encoder2_configuration(const char* tag, const VideoEncoderView& view);

// "T-ASConf-00" on source "T-AudioSource-00".
std::string audio_source_configuration(const char* tag, int use_count);
// "T-AEConf-00" with the audio encoding, bitrate and sample rate from the section cache.
std::string audio_encoder_configuration(const char* tag, int use_count);
// The same as the Media2 service's tt:AudioEncoder2Configuration, the encoding by its media
// type name (audio_mime_name).
std::string audio_encoder2_configuration(const char* tag, int use_count);
// "PCMU" for the "G711" encoding, else "mpeg4-generic" (AAC as the stream carries it).
const char* audio_mime_name();
// "T-MetadataConf-00".
std::string metadata_configuration(const char* tag, int use_count);

}  // namespace nvtd
