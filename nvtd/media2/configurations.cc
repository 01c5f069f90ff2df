// Media2 configuration listings and options over the fixed configurations: one table of
// the configurations, which kind each is, which stream an encoder serves and which profiles
// can hold it (a fixed profile its own; a created profile any).
#include "nvtd/media2/configurations.h"

#include <string>

#include "nvtd/core/process_state.h"
#include "nvtd/media/audio_configs.h"
#include "nvtd/media/config_elements.h"
#include "nvtd/media/metadata_configs.h"
#include "nvtd/media/stream_settings.h"
#include "nvtd/media/video_options.h"
#include "nvtd/media2/media2_replies.h"
#include "nvtd/soap/format_text.h"

namespace nvtd {
namespace {

enum class Kind { kVideoSource, kVideoEncoder, kAudioSource, kAudioEncoder, kMetadata };

constexpr const char* kKindNames[] = {"VideoSource", "VideoEncoder", "AudioSource", "AudioEncoder",
                                      "Metadata"};

struct Entry {
  Kind kind;
  const char* token;
  int stream;  // the encoder's stream; 0 for the others
};

constexpr Entry kEntries[] = {
    {Kind::kVideoSource, "T-VSConf-00", 0},       {Kind::kVideoEncoder, "T-VEConf-stream1", 1},
    {Kind::kVideoEncoder, "T-VEConf-stream2", 2}, {Kind::kAudioSource, "T-ASConf-00", 0},
    {Kind::kAudioEncoder, "T-AEConf-00", 0},      {Kind::kMetadata, "T-MetadataConf-00", 0},
};

bool is_audio(Kind kind) {
  return kind == Kind::kAudioSource || kind == Kind::kAudioEncoder;
}

// Audio configurations exist only on a camera with audio; the fixed "stream2" has none.
bool exists(const Entry& e) {
  return !is_audio(e.kind) || HwAudio;
}
bool fits(const Entry& e, const Media2Profile& profile) {
  int fixed = profile.fixed_stream;
  if (fixed == 0) return true;
  if (e.kind == Kind::kVideoEncoder) return e.stream == fixed;
  return !is_audio(e.kind) || fixed == 1;
}

std::string element(const Entry& e) {
  constexpr char kTag[] = "tr2:Configurations";
  switch (e.kind) {
    case Kind::kVideoSource:
      return video_source_configuration(kTag, vsc_use_count + 2, stream_width(1), stream_height(1),
                                        BoundsOrder::kWidthFirst);
    case Kind::kVideoEncoder:
      return video_encoder2_configuration(
          kTag, video_encoder_view(e.token, e.stream, venc_use_count(e.stream) + 2));
    case Kind::kAudioSource:
      return audio_source_configuration(kTag, asc_use_count + 2);
    case Kind::kAudioEncoder:
      return audio_encoder2_configuration(kTag, aec_use_count + 2);
    case Kind::kMetadata:
      break;
  }
  return metadata_configuration(kTag, 2);
}

// One H.264 encoder at the stream's resolution with the values SetVideoEncoderConfiguration
// takes: frame rates 1 to 30, GOV length 5 to 30, bitrates (adapted) 101 to 20000 kbit/s.
constexpr char kVideoEncoderOptions[] =
    "<tr2:Options GovLengthRange=\"5 30\" FrameRatesSupported=\"30 29 28 27 26 25 24 23 22 21 20 "
    "19 18 17 16 15 14 13 12 11 10 9 8 7 6 5 4 3 2 1\" ProfilesSupported=\"Baseline\">"
    "<tt:Encoding>H264</tt:Encoding><tt:QualityRange><tt:Min>80</tt:Min><tt:Max>80</tt:Max>"
    "</tt:QualityRange><tt:ResolutionsAvailable><tt:Width>%d</tt:Width><tt:Height>%d</tt:Height>"
    "</tt:ResolutionsAvailable><tt:BitrateRange><tt:Min>101</tt:Min><tt:Max>20000</tt:Max>"
    "</tt:BitrateRange></tr2:Options>";

// The listing (or with `options` the options) of the configurations of `kind`, after the
// request's tokens are checked: the profile must exist, and the configuration among those of
// the kind that fit the profile.
HandlerOutcome answer(const Request& request, Reply& reply, Kind kind, bool options) {
  Media2Profile profile;
  if (auto token = body_value(request, "ProfileToken")) {
    profile = find_media2_profile(*token);
    if (!profile.found) return media2_fault(reply, Fault::kNoProfile);
  }
  auto config_token = body_value(request, "ConfigurationToken");
  const Entry* config = nullptr;
  for (const Entry& e : kEntries) {
    if (e.kind == kind && exists(e) && fits(e, profile) && config_token == e.token) config = &e;
  }
  if (config_token && !config) return media2_fault(reply, Fault::kNoConfig);
  if (options && is_audio(kind) && !HwAudio) return media2_fault(reply, Fault::kAudioNotSupported);
  prefetch_stream_settings({1, 2}, is_audio(kind));
  std::string content;
  if (!options) {
    for (const Entry& e : kEntries) {
      if (e.kind == kind && exists(e) && fits(e, profile) && (!config || config == &e)) {
        content += element(e);
      }
    }
  } else if (kind == Kind::kVideoSource) {
    send_media2(reply, "%s",
                video_source_options_response(stream_width(1), stream_height(1), "tr2").c_str());
    return HandlerOutcome::kAnswered;
  } else if (kind == Kind::kVideoEncoder) {
    int stream = config ? config->stream : profile_stream(profile);
    if (stream == 0) stream = 1;
    content = format_text(kVideoEncoderOptions, stream_width(stream), stream_height(stream));
  } else {
    bool encoder = kind == Kind::kAudioEncoder;
    content = format_text("<tr2:Options>%s%s</tr2:Options>",
                          encoder ? "<tt:Encoding>PCMU</tt:Encoding>" : "",
                          encoder                      ? kAudioRateOptions
                          : kind == Kind::kAudioSource ? kAudioSourceOptions
                                                       : kMetadataOptions);
  }
  const char* k = kKindNames[int(kind)];
  const char* what = options ? "ConfigurationOptions" : "Configurations";
  send_media2(reply, "<tr2:Get%s%sResponse>%s</tr2:Get%s%sResponse>", k, what, content.c_str(), k,
              what);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome list(const Request& request, Reply& reply, Kind kind) {
  return answer(request, reply, kind, false);
}
HandlerOutcome options(const Request& request, Reply& reply, Kind kind) {
  return answer(request, reply, kind, true);
}

}  // namespace

HandlerOutcome handle_media2_get_video_source_configs(const Request& r, Reply& reply) {
  return list(r, reply, Kind::kVideoSource);
}
HandlerOutcome handle_media2_get_video_encoder_configs(const Request& r, Reply& reply) {
  return list(r, reply, Kind::kVideoEncoder);
}
HandlerOutcome handle_media2_get_audio_source_configs(const Request& r, Reply& reply) {
  return list(r, reply, Kind::kAudioSource);
}
HandlerOutcome handle_media2_get_audio_encoder_configs(const Request& r, Reply& reply) {
  return list(r, reply, Kind::kAudioEncoder);
}
HandlerOutcome handle_media2_get_metadata_configs(const Request& r, Reply& reply) {
  return list(r, reply, Kind::kMetadata);
}

HandlerOutcome handle_media2_video_source_options(const Request& r, Reply& reply) {
  return options(r, reply, Kind::kVideoSource);
}
HandlerOutcome handle_media2_video_encoder_options(const Request& r, Reply& reply) {
  return options(r, reply, Kind::kVideoEncoder);
}
HandlerOutcome handle_media2_audio_source_options(const Request& r, Reply& reply) {
  return options(r, reply, Kind::kAudioSource);
}
HandlerOutcome handle_media2_audio_encoder_options(const Request& r, Reply& reply) {
  return options(r, reply, Kind::kAudioEncoder);
}
HandlerOutcome handle_media2_metadata_options(const Request& r, Reply& reply) {
  return options(r, reply, Kind::kMetadata);
}

}  // namespace nvtd
