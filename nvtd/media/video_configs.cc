// Video source and encoder listings and options, from the stream settings of the request's
// section cache and the use counters of the profile store.
#include "nvtd/media/video_configs.h"

#include <cstdio>
#include <string>

#include "nvtd/media/config_elements.h"
#include "nvtd/media/media_replies.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/media/profile_to_stream.h"
#include "nvtd/media/stream_settings.h"
#include "nvtd/media/video_options.h"
#include "nvtd/soap/format_text.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

std::string encoder_token(int stream) {
  return "T-VEConf-stream" + std::to_string(stream);
}

// profile_to_stream of ProfileToken, stream 1 when it names none.
int profile_stream_or_first(const Request& request) {
  int n = profile_to_stream(request.body, "ProfileToken");
  return n < 0 ? 1 : n;
}

std::string video_source_of_stream1(const char* tag) {
  return video_source_configuration(tag, vsc_use_count + 2, stream_width(1), stream_height(1),
                                    BoundsOrder::kWidthFirst);
}

}  // namespace

HandlerOutcome handle_get_video_sources(const Request&, Reply& reply) {
  send_media_envelope(
      reply,
      format_text("<trt:GetVideoSourcesResponse><trt:VideoSources token=\"HD\"><tt:Framerate>30"
                  "</tt:Framerate><tt:Resolution><tt:Width>%d</tt:Width><tt:Height>%d</tt:Height>"
                  "</tt:Resolution></trt:VideoSources></trt:GetVideoSourcesResponse>",
                  stream_width(1), stream_height(1)));
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_video_source_configs(const Request&, Reply& reply) {
  send_media_envelope(reply, "<trt:GetVideoSourceConfigurationsResponse>" +
                                 video_source_of_stream1("trt:Configurations") +
                                 "</trt:GetVideoSourceConfigurationsResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_video_source_config(const Request&, Reply& reply) {
  send_media_envelope(reply, "<trt:GetVideoSourceConfigurationResponse>" +
                                 video_source_of_stream1("trt:Configuration") +
                                 "</trt:GetVideoSourceConfigurationResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_compatible_video_source_configs(const Request& request, Reply& reply) {
  int n = profile_stream_or_first(request);
  send_media_body(reply, "<trt:GetCompatibleVideoSourceConfigurationsResponse>" +
                             video_source_configuration("trt:Configurations", vsc_use_count + 2,
                                                        stream_width(n), stream_height(n),
                                                        BoundsOrder::kHeightFirst) +
                             "</trt:GetCompatibleVideoSourceConfigurationsResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_video_source_config_options(const Request&, Reply& reply) {
  send_media_envelope(reply, video_source_options_response(stream_width(1), stream_height(1)));
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_video_encoder_configs(const Request&, Reply& reply) {
  std::string content = "<trt:GetVideoEncoderConfigurationsResponse>";
  prefetch_stream_settings({1, 2});
  for (int s = 1; s <= 2; ++s) {
    content +=
        video_encoder_configuration("trt:Configurations fixed=\"true\"",
                                    video_encoder_view(encoder_token(s), s, venc_use_count(s) + 2));
  }
  content += "</trt:GetVideoEncoderConfigurationsResponse>";
  send_media_envelope(reply, content);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_video_encoder_config(const Request& request, Reply& reply) {
  int n = profile_to_stream(request.body, "ConfigurationToken");
  if (n < 0) {
    // The header goes to the client, the message only to standard output.
    out_printf(reply, "Content-Type: %s\r\n\r\n", "text/plain");
    printf("Invalid ConfigurationToken\n");
    fflush(stdout);
    return HandlerOutcome::kAnswered;
  }
  send_media_body(reply, "<trt:GetVideoEncoderConfigurationResponse>" +
                             video_encoder_configuration(
                                 "trt:Configuration",
                                 video_encoder_view(encoder_token(n), n, venc_use_count(n) + 2)) +
                             "</trt:GetVideoEncoderConfigurationResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_compatible_video_encoder_configs(const Request& request, Reply& reply) {
  int n = profile_stream_or_first(request);
  VideoEncoderView view = video_encoder_view(encoder_token(n), n, 2);
  view.encoding = "JPEG";
  view.h264_profile = "Main";
  view.session_timeout = "PT0S";
  send_media_body(reply, "<trt:GetCompatibleVideoEncoderConfigurationsResponse>" +
                             video_encoder_configuration("trt:Configurations", view) +
                             "</trt:GetCompatibleVideoEncoderConfigurationsResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_video_encoder_config_options(const Request& request, Reply& reply) {
  int n = profile_to_stream(request.body, "ProfileToken");
  if (n < 0) n = profile_to_stream(request.body, "ConfigurationToken");
  if (n < 0) n = 1;
  send_media_envelope(reply, video_encoder_options_response(stream_width(n), stream_height(n)));
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_guaranteed_encoders(const Request&, Reply& reply) {
  send_media_body(reply,
                  "<trt:GetGuaranteedNumberOfVideoEncoderInstancesResponse><trt:TotalNumber>1"
                  "</trt:TotalNumber><trt:JPEG>1</trt:JPEG><trt:H264>1</trt:H264>"
                  "</trt:GetGuaranteedNumberOfVideoEncoderInstancesResponse>");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
