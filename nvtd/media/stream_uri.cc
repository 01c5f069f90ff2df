// GetStreamUri, GetSnapshotUri and StartMulticastStreaming.
#include "nvtd/media/stream_uri.h"

#include "nvtd/device/service_address.h"
#include "nvtd/getset/section_cache.h"
#include "nvtd/media/profile_to_stream.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/envelope.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/format_text.h"
#include "nvtd/soap/named_format.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

// clang-format off
// Scheme, address, port suffix, path.
constexpr char kStreamUriForm[] = "%s://%s%s/%s";
constexpr char kStreamPath[] = "onvif/stream%d";

// GetStreamUri, a complete envelope with an empty header: {uri}.
constexpr auto kStreamUriEnvelope = join_text(kTrtTtEnvelopeOpening,
    "<SOAP-ENV:Header></SOAP-ENV:Header><SOAP-ENV:Body>"
    "<trt:GetStreamUriResponse><trt:MediaUri><tt:Uri>{uri}</tt:Uri>"
    "<tt:InvalidAfterConnect>false</tt:InvalidAfterConnect>"
    "<tt:InvalidAfterReboot>false</tt:InvalidAfterReboot><tt:Timeout>PT0S</tt:Timeout>"
    "</trt:MediaUri></trt:GetStreamUriResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>");

// GetSnapshotUri, a complete envelope without header: {uri}.
constexpr auto kSnapshotUriEnvelope = join_text(kTrtTtEnvelopeOpening,
    "<SOAP-ENV:Body>"
    "<trt:GetSnapshotUriResponse><trt:MediaUri>"
    "<tt:Uri>{uri}</tt:Uri>"
    "<tt:InvalidAfterConnect>true</tt:InvalidAfterConnect>"
    "<tt:InvalidAfterReboot>false</tt:InvalidAfterReboot><tt:Timeout>PT0S</tt:Timeout>"
    "</trt:MediaUri></trt:GetSnapshotUriResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>");
// clang-format on

}  // namespace

std::string stream_uri(const std::string& protocol, const std::string& address, int stream) {
  const char* scheme;
  const char* port_suffix;
  if (protocol == "HTTP") {
    scheme = "http";
    port_suffix = ":82";
  } else if (protocol == "RTSP" || protocol == "UDP") {
    scheme = "rtsp";  // the streaming server's default port
    port_suffix = "";
  } else {
    return std::string();
  }
  std::string path = format_text(kStreamPath, stream);
  return format_text(kStreamUriForm, scheme, address.c_str(), port_suffix, path.c_str());
}

std::string stream_uri_envelope(const std::string& uri) {
  return named_text(kStreamUriEnvelope.view(), {{"uri", uri}});
}

std::string snapshot_uri() {
  const SettingsClient* cam = section(SectionId::kCam);
  int port = cam != nullptr ? cam->GetIntValue("http_port") : -1;
  return format_text("http://%s:%d/onvif/no_image.jpg", camera_address_cached().c_str(), port);
}

std::string snapshot_uri_envelope(const std::string& uri) {
  return named_text(kSnapshotUriEnvelope.view(), {{"uri", uri}});
}

HandlerOutcome handle_get_stream_uri(const Request& request, Reply& reply) {
  auto protocol = element_text(request.body, "Protocol", 16);
  if (!protocol) {
    out_printf(reply, "Content-Type: %s\r\n\r\n", "text/plain");
    out_printf(reply, "Protocol not specified\n");
    return HandlerOutcome::kAnswered;
  }
  if (*protocol != "HTTP" && *protocol != "RTSP" && *protocol != "UDP") {
    send_catalogue_fault(reply, Fault::kProtocolMismatch);
    return HandlerOutcome::kAnswered;
  }
  int stream = profile_to_stream(request.body, "ProfileToken");
  if (stream < 0) {
    send_catalogue_fault(reply, Fault::kNoProfile, 400);
    return HandlerOutcome::kAnswered;
  }
  std::string uri = stream_uri(*protocol, camera_address_cached(), stream);
  send_envelope(reply, "%s", stream_uri_envelope(uri).c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_snapshot_uri(const Request&, Reply& reply) {
  send_envelope(reply, "%s", snapshot_uri_envelope(snapshot_uri()).c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_start_multicast_streaming(const Request&, Reply& reply) {
  send_catalogue_fault(reply, Fault::kInvalidStreamSetup);
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
