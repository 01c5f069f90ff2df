// The media room's Set paths, which both media services take, tell event subscribers which
// configuration they set; refused sets tell nothing.
#include <gtest/gtest.h>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/media/audio_configs.h"
#include "nvtd/media/media_events_test_util.h"
#include "nvtd/media/media_test_camera.h"
#include "nvtd/media/metadata_configs.h"
#include "nvtd/media/video_config_set.h"

namespace nvtd {
namespace {

bool set_metadata(const char* timeout) {
  OutputCapture out;
  handle_set_metadata_config(
      request_with_body(std::string("<Body><SessionTimeout>") + timeout + "</SessionTimeout>"),
      out.reply());
  return true;
}

TEST(ConfigurationEvents, AcceptedSetsRaiseConfigurationChanged) {
  testing::CachedCamera camera("s0_resolution = 125830200\n", "");
  testing::MediaEventWatch watch;
  VideoEncoderChange too_fast;
  too_fast.frame_rate = 99;
  const std::string bounds = "<Bounds x=\"0\" y=\"0\" width=\"1920\" height=\"1080\"/>";
  const std::pair<bool, const char*> cases[] = {
      {set_video_source(bounds), "ConfigurationChanged:T-VSConf-00:VideoSource"},
      {set_video_source("<Bounds x=\"8\"/>"), nullptr},
      {set_audio_encoder("G711", std::string("64"), std::string("8")),
       "ConfigurationChanged:T-AEConf-00:AudioEncoder"},
      {set_audio_encoder("G711", std::string("64"), std::string("16")), nullptr},
      {set_video_encoder(1, too_fast) == EncoderSetResult::kWritten, nullptr},
      {set_metadata("PT60S"), "ConfigurationChanged:T-MetadataConf-00:Metadata"},
      {set_metadata("60"), nullptr},
  };
  std::vector<std::string> expected;
  for (const auto& [set, raised] : cases) {
    if (raised) expected.push_back(raised);
  }
  EXPECT_EQ(watch.take(), expected);
}

}  // namespace
}  // namespace nvtd
