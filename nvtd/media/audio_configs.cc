// Audio source and encoder configurations: the fixed identities with the counts of the
// profile store and the audio settings of the cached CAM section.
#include "nvtd/media/audio_configs.h"

#include <string>
#include <string_view>

#include "nvtd/core/process_state.h"
#include "nvtd/events/event_service.h"
#include "nvtd/media/config_elements.h"
#include "nvtd/media/media_replies.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

constexpr std::size_t kField = 32;

void no_config(Reply& reply) {
  send_catalogue_fault(reply, Fault::kNoConfig);
}

}  // namespace

bool set_audio_encoder(const std::optional<std::string>& encoding,
                       const std::optional<std::string>& bitrate,
                       const std::optional<std::string>& sample_rate) {
  bool accepted = (!encoding || *encoding == "G711") && bitrate && *bitrate == "64" &&
                  sample_rate && *sample_rate == "8";
  if (accepted) event_configuration_changed("T-AEConf-00", "AudioEncoder");
  return accepted;
}

HandlerOutcome handle_get_audio_sources(const Request&, Reply& reply) {
  send_media_body(reply,
                  "<trt:GetAudioSourcesResponse><trt:AudioSources token=\"T-AudioSource-00\">"
                  "<tt:Channels>1</tt:Channels></trt:AudioSources></trt:GetAudioSourcesResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_audio_source_configs(const Request&, Reply& reply) {
  send_media_body(reply, "<trt:GetAudioSourceConfigurationsResponse>" +
                             audio_source_configuration("trt:Configurations", 2) +
                             "</trt:GetAudioSourceConfigurationsResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_compatible_audio_source_configs(const Request&, Reply& reply) {
  send_media_body(reply, "<trt:GetCompatibleAudioSourceConfigurationsResponse>" +
                             audio_source_configuration("trt:Configurations", 2) +
                             "</trt:GetCompatibleAudioSourceConfigurationsResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_audio_source_config(const Request& request, Reply& reply) {
  auto token = element_text(request.body_part(), "ConfigurationToken", kField);
  if (!token || *token != "T-ASConf-00") {
    no_config(reply);
    return HandlerOutcome::kAnswered;
  }
  send_media_body(reply, "<trt:GetAudioSourceConfigurationResponse>" +
                             audio_source_configuration("trt:Configuration", asc_use_count + 2) +
                             "</trt:GetAudioSourceConfigurationResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_audio_source_config_options(const Request& request, Reply& reply) {
  auto config = element_text(request.body_part(), "ConfigurationToken", kField);
  if (config && *config != "T-ASConf-00") {
    no_config(reply);
    return HandlerOutcome::kAnswered;
  }
  auto profile = element_text(request.body_part(), "ProfileToken", kField);
  if (profile && *profile != "stream1" && *profile != "stream2") {
    send_catalogue_fault(reply, Fault::kNoProfile, 400);
    return HandlerOutcome::kAnswered;
  }
  send_body(reply,
            "<SOAP-ENV:Body><trt:GetAudioSourceConfigurationOptionsResponse><trt:Options>%s"
            "</trt:Options></trt:GetAudioSourceConfigurationOptionsResponse>%s",
            kAudioSourceOptions, kBodyEnd);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_audio_source_config(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  if (body.find("T-ASConf-00") == std::string_view::npos) {
    no_config(reply);
    return HandlerOutcome::kAnswered;
  }
  auto source = element_text(body, "SourceToken", kField);
  if (!source || *source != "T-AudioSource-00") {
    send_catalogue_fault(reply, Fault::kConfigModify);
    return HandlerOutcome::kAnswered;
  }
  send_empty_media_response(reply, "SetAudioSourceConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_audio_encoder_configs(const Request&, Reply& reply) {
  send_media_body(reply, "<trt:GetAudioEncoderConfigurationsResponse>" +
                             audio_encoder_configuration("trt:Configurations", 2) +
                             "</trt:GetAudioEncoderConfigurationsResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_compatible_audio_encoder_configs(const Request&, Reply& reply) {
  send_media_body(reply, "<trt:GetCompatibleAudioEncoderConfigurationsResponse>" +
                             audio_encoder_configuration("trt:Configurations", 2) +
                             "</trt:GetCompatibleAudioEncoderConfigurationsResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_audio_encoder_config(const Request&, Reply& reply) {
  send_media_body(reply, "<trt:GetAudioEncoderConfigurationResponse>" +
                             audio_encoder_configuration("trt:Configuration", aec_use_count + 2) +
                             "</trt:GetAudioEncoderConfigurationResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_audio_encoder_config_options(const Request&, Reply& reply) {
  if (!HwAudio) {
    send_catalogue_fault(reply, Fault::kAudioNotSupported);
    return HandlerOutcome::kAnswered;
  }
  send_body(reply,
            "<SOAP-ENV:Body><trt:GetAudioEncoderConfigurationOptionsResponse><trt:Options>"
            "<tt:Options><tt:Encoding>G711</tt:Encoding>%s</tt:Options></trt:Options>"
            "</trt:GetAudioEncoderConfigurationOptionsResponse>%s",
            kAudioRateOptions, kBodyEnd);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_audio_encoder_config(const Request& request, Reply& reply) {
  if (request.body.find("T-AEConf-00") == std::string::npos) {
    send_plain_error(reply, "Invalid configuation token\n");
    return HandlerOutcome::kAnswered;
  }
  auto encoding = element_text(request.body, "Encoding", 16);
  auto bitrate = element_text(request.body, "Bitrate", kField);
  auto rate = element_text(request.body, "SampleRate", kField);
  if (!set_audio_encoder(encoding, bitrate, rate)) {
    send_catalogue_fault(reply, Fault::kConfigModify);
    return HandlerOutcome::kAnswered;
  }
  send_empty_media_response(reply, "SetAudioEncoderConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
