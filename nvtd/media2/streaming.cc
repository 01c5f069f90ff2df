// Media2 encoder instances, stream and snapshot URIs, synchronization point and OSDs.
#include "nvtd/media2/streaming.h"

#include <string>

#include "nvtd/device/service_address.h"
#include "nvtd/media/stream_uri.h"
#include "nvtd/media2/media2_replies.h"

namespace nvtd {
namespace {

// The profile of the request's ProfileToken, or a fault answered: ter:NoProfile when it
// names none; with `streaming`, ter:IncompleteConfiguration when it has no video to stream.
int profile_stream_or_fault(const Request& request, Reply& reply, bool streaming) {
  auto token = body_value(request, "ProfileToken");
  Media2Profile profile = find_media2_profile(token.value_or(""));
  if (!profile.found) {
    media2_fault(reply, Fault::kNoProfile);
    return -1;
  }
  int stream = profile_stream(profile);
  if (streaming && stream == 0) {
    media2_fault(reply, Fault::kIncompleteConfiguration);
    return -1;
  }
  return stream;
}

bool names_video_source(const Request& request) {
  return body_value(request, "ConfigurationToken") == "T-VSConf-00";
}

void send_uri(Reply& reply, const char* response, const std::string& uri) {
  send_media2(reply, "<tr2:%s><tr2:Uri>%s</tr2:Uri></tr2:%s>", response, uri.c_str(), response);
}

}  // namespace

HandlerOutcome handle_media2_get_video_encoder_instances(const Request& request, Reply& reply) {
  if (!names_video_source(request)) return media2_fault(reply, Fault::kNoConfig);
  // The two fixed streams are encoded side by side, whatever the codec (so no Codec limits).
  send_media2(reply,
              "<tr2:GetVideoEncoderInstancesResponse><tr2:Info><tr2:Total>2</tr2:Total>"
              "</tr2:Info></tr2:GetVideoEncoderInstancesResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_media2_get_stream_uri(const Request& request, Reply& reply) {
  int stream = profile_stream_or_fault(request, reply, true);
  if (stream < 0) return HandlerOutcome::kAnswered;
  auto protocol = body_value(request, "Protocol");
  if (protocol != "RTSP" && protocol != "RtspUnicast") {
    return media2_fault(reply, Fault::kProtocolUnsupported);
  }
  send_uri(reply, "GetStreamUriResponse", stream_uri("RTSP", camera_address_cached(), stream));
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_media2_get_snapshot_uri(const Request& request, Reply& reply) {
  if (profile_stream_or_fault(request, reply, true) < 0) return HandlerOutcome::kAnswered;
  send_uri(reply, "GetSnapshotUriResponse", snapshot_uri());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_media2_set_synchronization_point(const Request& request, Reply& reply) {
  if (profile_stream_or_fault(request, reply, false) < 0) return HandlerOutcome::kAnswered;
  send_media2_empty(reply, "SetSynchronizationPointResponse");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_media2_get_osds(const Request& request, Reply& reply) {
  // No OSD exists, so no OSD token names one.
  if (body_value(request, "OSDToken")) return media2_fault(reply, Fault::kNoConfig);
  send_media2_empty(reply, "GetOSDsResponse");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_media2_get_osd_options(const Request& request, Reply& reply) {
  if (!names_video_source(request)) return media2_fault(reply, Fault::kNoConfig);
  // The schema asks for a type and a position; a total of 0 says none can be made.
  send_media2(reply,
              "<tr2:GetOSDOptionsResponse><tr2:OSDOptions><tt:MaximumNumberOfOSDs Total=\"0\"/>"
              "<tt:Type>Text</tt:Type><tt:PositionOption>UpperLeft</tt:PositionOption>"
              "</tr2:OSDOptions></tr2:GetOSDOptionsResponse>");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
