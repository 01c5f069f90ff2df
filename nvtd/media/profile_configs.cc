// The Add and Remove configuration actions. A request without ProfileToken (or an Add without
// ConfigurationToken) is a client error and gets the ConfigModify fault, like CreateProfile and
// DeleteProfile; otherwise the success response is sent whatever the store made of it (unknown
// and fixed profiles, or a profile without that configuration, change nothing).
#include "nvtd/media/profile_configs.h"

#include <string>
#include <string_view>

#include "nvtd/core/process_state.h"
#include "nvtd/media/media_replies.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"

namespace nvtd {
namespace {

constexpr std::size_t kField = 32;

struct Kind {
  const char* traced;  // the words in the trace line
  int (*attach)(std::string_view, const std::string&);
  int (*detach)(std::string_view);
  const char* add_response;
  const char* remove_response;
};

constexpr Kind kVideoSource = {"video source", profile_attach_video_source,
                               profile_detach_video_source, "AddVideoSourceConfigurationResponse",
                               "RemoveVideoSourceConfigurationResponse"};
constexpr Kind kVideoEncoder = {
    "video config", profile_attach_video_encoder, profile_detach_video_encoder,
    "AddVideoEncoderConfigurationResponse", "RemoveVideoEncoderConfigurationResponse"};
constexpr Kind kAudioSource = {"audio source", profile_attach_audio_source,
                               profile_detach_audio_source, "AddAudioSourceConfigurationResponse",
                               "RemoveAudioSourceConfigurationResponse"};
constexpr Kind kAudioEncoder = {
    "audio config", profile_attach_audio_encoder, profile_detach_audio_encoder,
    "AddAudioEncoderConfigurationResponse", "RemoveAudioEncoderConfigurationResponse"};

std::optional<std::string> read_field(std::string_view text, const char* name) {
  return element_text(text, name, kField);
}

HandlerOutcome attach_kind(const Kind& kind, std::string_view text, Reply& reply) {
  auto profile = read_field(text, "ProfileToken");
  auto configuration = read_field(text, "ConfigurationToken");
  if (!profile || !configuration) {
    send_catalogue_fault(reply, Fault::kConfigModify);
    return HandlerOutcome::kAnswered;
  }
  trace("add %s %s to %s\n", kind.traced, configuration->c_str(), profile->c_str());
  kind.attach(*profile, *configuration);
  send_empty_media_response(reply, kind.add_response);
  return HandlerOutcome::kAnswered;
}

// The trace names what is removed: "video source", "video encoder", "audio source",
// "audio encoder".
HandlerOutcome detach_kind(const Kind& kind, const char* removed, std::string_view text,
                           Reply& reply) {
  auto profile = read_field(text, "ProfileToken");
  if (!profile) {
    send_catalogue_fault(reply, Fault::kConfigModify);
    return HandlerOutcome::kAnswered;
  }
  trace("remove %s from %s\n", removed, profile->c_str());
  kind.detach(*profile);
  send_empty_media_response(reply, kind.remove_response);
  return HandlerOutcome::kAnswered;
}

}  // namespace

HandlerOutcome handle_add_video_source_config(const Request& request, Reply& reply) {
  return attach_kind(kVideoSource, request.body_part(), reply);
}
HandlerOutcome handle_add_video_encoder_config(const Request& request, Reply& reply) {
  return attach_kind(kVideoEncoder, request.body_part(), reply);
}
HandlerOutcome handle_add_audio_source_config(const Request& request, Reply& reply) {
  return attach_kind(kAudioSource, request.body_part(), reply);
}
HandlerOutcome handle_add_audio_encoder_config(const Request& request, Reply& reply) {
  return attach_kind(kAudioEncoder, request.body_part(), reply);
}
HandlerOutcome handle_remove_video_source_config(const Request& request, Reply& reply) {
  return detach_kind(kVideoSource, "video source", request.body_part(), reply);
}
HandlerOutcome handle_remove_video_encoder_config(const Request& request, Reply& reply) {
  return detach_kind(kVideoEncoder, "video encoder", request.body_part(), reply);
}
HandlerOutcome handle_remove_audio_source_config(const Request& request, Reply& reply) {
  return detach_kind(kAudioSource, "audio source", request.body_part(), reply);
}
HandlerOutcome handle_remove_audio_encoder_config(const Request& request, Reply& reply) {
  return detach_kind(kAudioEncoder, "audio encoder", request.body_part(), reply);
}

HandlerOutcome handle_add_metadata_config(const Request&, Reply& reply) {
  send_empty_media_response(reply, "AddMetadataConfigurationResponse");
  return HandlerOutcome::kAnswered;
}
HandlerOutcome handle_remove_metadata_config(const Request&, Reply& reply) {
  send_empty_media_response(reply, "RemoveMetadataConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
