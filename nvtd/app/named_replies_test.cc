// Every reply template of the rooms that is filled by name gets a value for each of its
// placeholders and no value it does not use.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "nvtd/device/date_time_envelope.h"
#include "nvtd/device/hostname.h"
#include "nvtd/device/network_interfaces.h"
#include "nvtd/discovery/discovery_messages.h"
#include "nvtd/events/event_messages.h"
#include "nvtd/media/config_elements.h"
#include "nvtd/media/stream_uri.h"
#include "nvtd/media/video_options.h"
#include "nvtd/soap/named_format.h"

namespace nvtd {
namespace {

using Names = std::vector<std::string>;

Names reported;  // what the reporter received during one fill

void record(std::string_view text, const FilledText& filled) {
  reported.push_back(std::string(text.substr(0, 60)) + ": " +
                     std::to_string(filled.unfilled.size()) + " unfilled, " +
                     std::to_string(filled.unused.size()) + " unused");
}

TEST(NamedFormat, EveryReplyTemplateFillsEachPlaceholder) {
  const CameraUrl camera{"10.99.0.2", 8080};
  DiscoveryIdentity id;
  id.model = "cv100";
  VideoEncoderView view;
  PullAnswerFields pull;
  const EventMessage motion{kTopicMotionAlarm, true, true, 1};
  const EventMessage cell{kTopicCellMotion, false, false, 1};
  InterfaceReport eth0{"00:11:22:33:44:55", "10.99.0.2", 24, false};
  const std::pair<const char*, std::function<std::string()>> replies[] = {
      {"pull messages",
       [&] {
         return format_pull_messages_body(camera, pull, {motion, cell});
       }},
      {"pull empty", [&] { return format_pull_empty_body(camera, "", 0, 1); }},
      {"pull head", [] { return format_pull_head(1, 0); }},
      {"notify", [&] { return format_notify_body(camera, cell); }},
      {"notify head", [] { return format_notify_head("/n", "h", 80, 1); }},
      {"create pull point",
       [&] { return format_create_pull_point_response(camera, "m", 1, 0, 1); }},
      {"subscribe", [&] { return format_subscribe_response(camera, "m", 1, 0, 1); }},
      {"unsubscribe", [&] { return format_unsubscribe_response(camera, "m"); }},
      {"renew", [&] { return format_renew_response(camera, "m", "t", "c"); }},
      {"synchronization point",
       [&] { return format_set_synchronization_point_response(camera, "m"); }},
      {"hello", [&] { return build_hello(id, 1, 1, ""); }},
      {"probe matches", [&] { return build_probe_matches(id, 1, 1, "r", ""); }},
      {"matching rule fault", [] { return build_matching_rule_fault(1, 1, "r"); }},
      {"video encoder", [&] { return video_encoder_configuration(kVideoEncoderTag, view); }},
      {"audio encoder", [] { return audio_encoder_configuration(kAudioEncoderTag, 1); }},
      {"video source options", [] { return video_source_options_response(1280, 720); }},
      {"video encoder options", [] { return video_encoder_options_response(1280, 720); }},
      {"stream uri", [] { return stream_uri_envelope("rtsp://10.99.0.2/onvif/stream1"); }},
      {"snapshot uri", [] { return snapshot_uri_envelope("http://10.99.0.2/s.jpg"); }},
      {"system date and time", [] { return system_date_time_envelope(0, "UTC0", -1); }},
      {"network interfaces", [&] { return network_interfaces_body(eth0); }},
      {"hostname", [] { return hostname_envelope("cam"); }},
  };
  NamedMismatchReporter previous = set_named_mismatch_reporter(record);
  for (const auto& [name, reply] : replies) {
    reported.clear();
    std::string text = reply();
    EXPECT_EQ(reported, Names()) << name;
    EXPECT_EQ(fill_named(text, {}, text.size() + 1).unfilled, Names()) << name;
  }
  set_named_mismatch_reporter(previous);
}

}  // namespace
}  // namespace nvtd
