// The media room's Set paths, shared by both media services, tell event subscribers which
// configuration they set; refused sets tell nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/media/audio_configs.h"
#include "nvtd/media/media_events_test_util.h"
#include "nvtd/media/media_test_camera.h"
#include "nvtd/media/metadata_configs.h"
#include "nvtd/media/video_config_set.h"

namespace nvtd {
namespace {

using Texts = std::vector<std::string>;

TEST(ConfigurationEvents, AcceptedSetsRaiseConfigurationChanged) {
  testing::CachedCamera camera("s0_resolution = 125830200\n", "");
  testing::MediaEventWatch watch;
  struct Case {
    const char* what;
    bool (*set)();
    Texts raised;
  } cases[] = {
      {"video source",
       [] { return set_video_source("<Bounds x=\"0\" y=\"0\" width=\"1920\" height=\"1080\"/>"); },
       {"ConfigurationChanged:T-VSConf-00:VideoSource"}},
      {"video source elsewhere",
       [] { return set_video_source("<Bounds x=\"8\" y=\"0\" width=\"1920\" height=\"1080\"/>"); },
       {}},
      {"audio encoder",
       [] { return set_audio_encoder("G711", std::string("64"), std::string("8")); },
       {"ConfigurationChanged:T-AEConf-00:AudioEncoder"}},
      {"audio encoder at 16 kHz",
       [] { return set_audio_encoder("G711", std::string("64"), std::string("16")); },
       {}},
      {"video encoder refused",
       [] {
         VideoEncoderChange change;
         change.frame_rate = 99;
         return set_video_encoder(1, change) == EncoderSetResult::kWritten;
       },
       {}},
  };
  for (const Case& c : cases) {
    c.set();
    EXPECT_EQ(watch.take(), c.raised) << c.what;
  }
  for (auto [timeout, raised] :
       {std::pair{"PT60S", Texts{"ConfigurationChanged:T-MetadataConf-00:Metadata"}},
        std::pair{"60", Texts{}}}) {
    OutputCapture out;
    handle_set_metadata_config(
        request_with_body(std::string("<Body><SessionTimeout>") + timeout + "</SessionTimeout>"),
        out.reply());
    EXPECT_EQ(watch.take(), raised) << timeout;
  }
}

}  // namespace
}  // namespace nvtd
