// SetVideoEncoderConfiguration: refusals are checked in a fixed order before anything is
// written; each write goes through its own settings client (which repeats stream settings to
// the peer boards), and the first failed write ends the request with ConfigModify, keeping the
// writes made before it.
#include "nvtd/media/video_config_set.h"

#include <syslog.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "nvtd/core/process_state.h"
#include "nvtd/events/event_service.h"
#include "nvtd/getset/settings_client.h"
#include "nvtd/media/media_replies.h"
#include "nvtd/media/stream_settings.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

constexpr std::size_t kField = 32;
constexpr long kMaxBitrateKbps = 20000;

std::optional<std::string> request_field(const Request& request, const char* name) {
  return element_text(request.body, name, kField);
}

// strtol rules: leading blanks and sign, leading digits, no digits give 0.
std::optional<long> request_number(const Request& request, const char* name) {
  auto value = request_field(request, name);
  if (!value) return std::nullopt;
  return strtol(value->c_str(), nullptr, 10);
}

HandlerOutcome refuse(Reply& reply) {
  send_catalogue_fault(reply, Fault::kConfigModify);
  return HandlerOutcome::kAnswered;
}

// Writes key "s<index>_<key>" of ENCODE, or with own_section of the stream's STREAM<index>,
// through a settings client of its own; true when the write succeeded.
bool write_setting(bool own_section, int index, const char* key, long value) {
  char section[16] = "ENCODE", name[32];
  if (own_section) snprintf(section, sizeof section, "STREAM%d", index);
  snprintf(name, sizeof name, "s%d_%s", index, key);
  SettingsClient client;
  return client.SetIntValue(section, name, static_cast<int>(value), true) == 0;
}

}  // namespace

bool application_present() {
  for (const char* dir : kApplicationDirectories) {
    if (access(dir, X_OK) == 0) return true;
  }
  return false;
}

EncoderSetResult set_video_encoder(int stream, const VideoEncoderChange& change) {
  if (application_present()) return EncoderSetResult::kOwnedByApplication;
  const auto& encoding = change.encoding;
  if (encoding && *encoding != "JPEG" && *encoding != "H264") return EncoderSetResult::kRefused;
  auto fps = change.frame_rate;
  if (fps && (*fps < 1 || *fps > 30)) {
    syslog(LOG_DEBUG, "%s: bogus framerate %ld", "handle_set_video_encoder_config", *fps);
    return EncoderSetResult::kRefused;
  }
  auto kbps = change.bitrate_kbps;
  if (kbps && *kbps > kMaxBitrateKbps) kbps = kMaxBitrateKbps;
  if (kbps && *kbps < 101) return EncoderSetResult::kRefused;
  auto gov = change.gov_length;
  if (gov && (*gov < 5 || *gov > 30)) return EncoderSetResult::kRefused;
  if (change.width && *change.width != stream_width(stream)) return EncoderSetResult::kRefused;
  if (change.height && *change.height != stream_height(stream)) return EncoderSetResult::kRefused;

  int index = stream - 1;
  bool ok = !fps || write_setting(false, index, "fps", *fps);
  ok = ok && (!kbps || write_setting(true, index, "cbr_avg_bps", *kbps * 1000));
  ok = ok && (!gov || write_setting(true, index, "N", *gov));
  if (ok && encoding) {
    int type = *encoding == "H264" ? 1 : 2;
    trace("set encoding to %d\n", type);
    ok = write_setting(false, index, "type", type);
  }
  if (!ok) return EncoderSetResult::kRefused;
  event_configuration_changed(stream == 1 ? "T-VEConf-stream1" : "T-VEConf-stream2",
                              "VideoEncoder");
  return EncoderSetResult::kWritten;
}

bool set_video_source(std::string_view text) {
  std::size_t at = text.find("Bounds");
  if (at == std::string_view::npos) return false;
  std::string_view rest = text.substr(at);
  // The bounds are compared as attribute texts (each at most 19 characters).
  char width[20], height[20];
  snprintf(width, sizeof width, "width=\"%d\"", stream_width(1));
  snprintf(height, sizeof height, "height=\"%d\"", stream_height(1));
  for (const char* attribute :
       {"x=\"0\"", "y=\"0\"", static_cast<const char*>(width), static_cast<const char*>(height)}) {
    if (rest.find(attribute) == std::string_view::npos) return false;
  }
  event_configuration_changed("T-VSConf-00", "VideoSource");
  return true;
}

HandlerOutcome handle_set_video_encoder_config(const Request& request, Reply& reply) {
  if (application_present()) {
    send_media_envelope(reply,
                        "<trt:SetVideoEncoderConfigurationResponse>"
                        "</trt:SetVideoEncoderConfigurationResponse>");
    return HandlerOutcome::kAnswered;
  }
  int index;
  if (request.body.find("T-VEConf-stream1") != std::string::npos) {
    index = 0;
  } else if (request.body.find("T-VEConf-stream2") != std::string::npos) {
    index = 1;
  } else {
    send_plain_error(reply, "Invalid configuration token\n");
    return HandlerOutcome::kAnswered;
  }
  VideoEncoderChange change;
  change.encoding = request_field(request, "Encoding");
  change.frame_rate = request_number(request, "FrameRateLimit");
  change.bitrate_kbps = request_number(request, "BitrateLimit");
  change.gov_length = request_number(request, "GovLength");
  change.width = request_number(request, "Width");
  change.height = request_number(request, "Height");
  if (set_video_encoder(index + 1, change) == EncoderSetResult::kRefused) return refuse(reply);
  send_media_envelope(reply,
                      "<trt:SetVideoEncoderConfigurationResponse>"
                      "</trt:SetVideoEncoderConfigurationResponse>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_video_source_config(const Request& request, Reply& reply) {
  if (!set_video_source(request.body)) return refuse(reply);
  send_empty_media_response(reply, "SetVideoSourceConfigurationResponse");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
