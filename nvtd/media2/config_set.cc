// Media2 Set handlers: an unknown configuration token is ter:NoConfig, a value the camera
// cannot take ter:ConfigModify. A bitrate outside 101..20000 kbit/s is adapted, not refused.
#include "nvtd/media2/config_set.h"

#include <algorithm>
#include <optional>
#include <string>

#include "nvtd/core/process_state.h"
#include "nvtd/media/audio_configs.h"
#include "nvtd/media/video_config_set.h"
#include "nvtd/media2/media2_replies.h"
#include "nvtd/soap/element_reader.h"

namespace nvtd {
namespace {

constexpr std::size_t kField = 32;

std::optional<std::string> configuration_attribute(const Request& request, const char* name) {
  return start_tag_attribute(request.body_part(), "Configuration", name, kField);
}

bool token_is(const Request& request, const char* token) {
  return configuration_attribute(request, "token") == token;
}

}  // namespace

HandlerOutcome handle_media2_set_video_source_config(const Request& request, Reply& reply) {
  if (!token_is(request, "T-VSConf-00")) return media2_fault(reply, Fault::kNoConfig);
  if (!set_video_source(request.body_part())) {
    return media2_fault(reply, Fault::kConfigModify);
  }
  send_media2_empty(reply, "SetVideoSourceConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_media2_set_video_encoder_config(const Request& request, Reply& reply) {
  int stream = token_is(request, "T-VEConf-stream1")   ? 1
               : token_is(request, "T-VEConf-stream2") ? 2
                                                       : 0;
  if (stream == 0) return media2_fault(reply, Fault::kNoConfig);
  VideoEncoderChange change;
  change.encoding = body_value(request, "Encoding");
  auto profile = configuration_attribute(request, "Profile");
  // H.264 Baseline is the one encoding this service sets.
  if (change.encoding != "H264" || (profile && *profile != "Baseline")) {
    return media2_fault(reply, Fault::kConfigModify);
  }
  change.frame_rate = body_number(request, "FrameRateLimit");
  change.bitrate_kbps = body_number(request, "BitrateLimit");
  if (change.bitrate_kbps) change.bitrate_kbps = std::clamp(*change.bitrate_kbps, 101L, 20000L);
  if (auto gov = configuration_attribute(request, "GovLength")) {
    change.gov_length = strtol(gov->c_str(), nullptr, 10);
  }
  change.width = body_number(request, "Width");
  change.height = body_number(request, "Height");
  if (set_video_encoder(stream, change) == EncoderSetResult::kRefused) {
    return media2_fault(reply, Fault::kConfigModify);
  }
  send_media2_empty(reply, "SetVideoEncoderConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_media2_set_audio_encoder_config(const Request& request, Reply& reply) {
  if (!HwAudio || !token_is(request, "T-AEConf-00")) return media2_fault(reply, Fault::kNoConfig);
  auto encoding = body_value(request, "Encoding");
  if (encoding == "PCMU") encoding = "G711";  // G.711 by its media type name
  if (!set_audio_encoder(encoding, body_value(request, "Bitrate"),
                         body_value(request, "SampleRate"))) {
    return media2_fault(reply, Fault::kConfigModify);
  }
  send_media2_empty(reply, "SetAudioEncoderConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
