// Profile listings and the creation and deletion of profiles. Request values are echoed
// through xml_safe, so a token or name with markup characters cannot break the document.
#include "nvtd/media/profiles.h"

#include <string_view>

#include "nvtd/core/process_state.h"
#include "nvtd/media/config_elements.h"
#include "nvtd/media/media_replies.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/media/stream_settings.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/format_text.h"
#include "nvtd/soap/writers.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

constexpr std::size_t kField = 32;  // element values: at most 31 characters

std::string fixed_video_source() {
  return video_source_configuration(kVideoSourceTag, vsc_use_count + 2, stream_width(1),
                                    stream_height(1), BoundsOrder::kWidthFirst);
}

std::string created_video_source() {
  return video_source_configuration(kVideoSourceTag, vsc_use_count + 2, stream_width(1),
                                    stream_height(1), BoundsOrder::kHeightFirst);
}

// A profile's video encoder element: stream 2 when the token names "T-VEConf-stream2",
// stream 1 for every other token (which is shown as it is).
std::string created_video_encoder(std::string_view token) {
  int s = token.find("T-VEConf-stream2") != std::string_view::npos ? 2 : 1;
  return video_encoder_configuration(kVideoEncoderTag,
                                     video_encoder_view(xml_safe(token), s, venc_use_count(s) + 2));
}

std::string fixed_video_encoder(int stream) {
  std::string token = "T-VEConf-stream" + std::to_string(stream);
  return video_encoder_configuration(kVideoEncoderTag,
                                     video_encoder_view(token, stream, venc_use_count(stream) + 2));
}

std::string fixed_profiles() {
  std::string text = "<trt:Profiles fixed=\"true\" token=\"stream1\"><tt:Name>stream1</tt:Name>";
  text += fixed_video_source();
  if (HwAudio) text += audio_source_configuration(kAudioSourceTag, 2);
  text += fixed_video_encoder(1);
  if (HwAudio) text += audio_encoder_configuration(kAudioEncoderTag, 2);
  text += metadata_configuration(kMetadataTag, 2);
  text += "</trt:Profiles>";
  text += "<trt:Profiles fixed=\"true\" token=\"stream2\"><tt:Name>stream2</tt:Name>";
  text += fixed_video_source();
  text += fixed_video_encoder(2);
  text += metadata_configuration(kMetadataTag, 2);
  text += "</trt:Profiles>";
  return text;
}

// The created profiles in slot order; audio tokens they hold are not listed.
std::string created_profiles(bool with_traces) {
  std::string text;
  const profile_slot* slot = nullptr;
  for (int pos = profile_next(0, &slot); pos >= 0; pos = profile_next(pos, &slot)) {
    if (with_traces) {
      trace("print profile %s/%s/%s\n", slot->name.c_str(),
            slot->video_source_token.value_or("").c_str(),
            slot->video_encoder_token.value_or("").c_str());
    }
    text += format_text("<trt:Profiles fixed=\"false\" token=\"%s\"><tt:Name>%s</tt:Name>",
                        xml_safe(slot->token).c_str(), xml_safe(slot->name).c_str());
    if (slot->video_source_token) text += created_video_source();
    if (slot->video_encoder_token) text += created_video_encoder(*slot->video_encoder_token);
    text += "</trt:Profiles>";
  }
  return text;
}

std::string get_profiles_text(bool with_traces) {
  std::string created = created_profiles(with_traces);
  return std::string(kMediaEnvelopeStart.view()) + "<trt:GetProfilesResponse>" + fixed_profiles() +
         created + "</trt:GetProfilesResponse>" + kBodyEnd;
}

std::optional<std::string> read_field(std::string_view text, const char* name) {
  return element_text(text, name, kField);
}

}  // namespace

std::string get_profiles_envelope() {
  return get_profiles_text(false);
}

HandlerOutcome handle_get_profiles(const Request&, Reply& reply) {
  trace("printing %d profiles\n", profile_count());
  prefetch_stream_settings({1, 2}, HwAudio);  // every profile shows stream 1 or 2
  std::string text = get_profiles_text(true);
  send_envelope(reply, "%s", text.c_str());
  return HandlerOutcome::kAnswered;
}

namespace {

// GetProfile over text, the part of the request that names the profile.
HandlerOutcome answer_get_profile(std::string_view text, Reply& reply) {
  auto token = read_field(text, "ProfileToken");
  if (!token) {
    send_catalogue_fault(reply, Fault::kUnsupportedCommand);
    return HandlerOutcome::kAnswered;
  }
  bool fixed = *token == "stream1" || *token == "stream2";
  bool audio = *token == "stream1" && HwAudio;
  char source[kField] = "", encoder[kField] = "";
  if (fixed) {
    snprintf(source, sizeof source, "T-VSConf-00");
    snprintf(encoder, sizeof encoder, "T-VEConf-%s", token->c_str());
  } else if (profile_get_video_tokens(*token, source, sizeof source, encoder, sizeof encoder) < 0) {
    send_catalogue_fault(reply, Fault::kNoProfile, 200);
    return HandlerOutcome::kAnswered;
  }
  std::string safe = xml_safe(*token);
  std::string body = format_text(
      "<trt:GetProfileResponse><trt:Profile fixed=\"%s\" token=\"%s\"><tt:Name>%s</tt:Name>",
      fixed ? "true" : "false", safe.c_str(), safe.c_str());
  if (source[0] != '\0') body += created_video_source();
  if (audio) body += audio_source_configuration(kAudioSourceTag, 2);
  if (encoder[0] != '\0') body += created_video_encoder(encoder);
  if (audio) body += audio_encoder_configuration(kAudioEncoderTag, 2);
  if (fixed) body += metadata_configuration(kMetadataTag, 2);
  body += "</trt:Profile></trt:GetProfileResponse>";
  send_media_body(reply, body);
  return HandlerOutcome::kAnswered;
}

}  // namespace

HandlerOutcome handle_get_profile(const Request& request, Reply& reply) {
  return answer_get_profile(request.body_part(), reply);
}

HandlerOutcome handle_wsdl_get_profile(const Request& request, Reply& reply) {
  return answer_get_profile(request.body, reply);
}

HandlerOutcome handle_create_profile(const Request& request, Reply& reply) {
  auto token = read_field(request.body_part(), "Token");
  auto name = read_field(request.body_part(), "Name");
  if (!token && !name) {
    send_catalogue_fault(reply, Fault::kConfigModify);
    return HandlerOutcome::kAnswered;
  }
  if (!name) name = token;
  if (!token) token = name;
  trace("create profile %s\n", token->c_str());
  profile_create(*name, *token);  // answered alike when it existed or the store is full
  send_body(reply,
            "<SOAP-ENV:Body><trt:CreateProfileResponse><trt:Profile fixed=\"false\" "
            "token=\"%s\"><tt:Name>%s</tt:Name></trt:Profile></trt:CreateProfileResponse>"
            "</SOAP-ENV:Body></SOAP-ENV:Envelope>",
            xml_safe(*token).c_str(), xml_safe(*name).c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_delete_profile(const Request& request, Reply& reply) {
  auto token = read_field(request.body_part(), "ProfileToken");
  if (!token) {
    send_catalogue_fault(reply, Fault::kConfigModify);
    return HandlerOutcome::kAnswered;
  }
  trace("delete profile %s\n", token->c_str());
  profile_delete(*token);  // unknown and fixed tokens are answered alike
  send_empty_media_response(reply, "DeleteProfileResponse");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
