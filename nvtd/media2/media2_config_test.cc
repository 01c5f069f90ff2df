// The Media2 handlers called directly: what each token filter leaves, the answers' contents and
// the ver20 faults (the e2e module checks each answer's service and schema through nvtd).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/media/media_test_camera.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/media2/config_set.h"
#include "nvtd/media2/configurations.h"
#include "nvtd/media2/streaming.h"

namespace nvtd {
namespace {

// Stream 1 at 1920x1080, stream 2 at 640x360; G.711 audio.
constexpr char kStreams[] =
    "s0_type = 1\ns0_resolution = 125830200\ns0_fps = 25\ns0_cbr_avg_bps = 4000000\ns0_N = 30\n"
    "s1_type = 1\ns1_resolution = 41943400\ns1_fps = 15\ns1_cbr_avg_bps = 512000\ns1_N = 15\n";
constexpr char kAudio[] = "ain_encode = 1\nain_bitrate = 64000\nain_sample_rate = 8000\n";

// A handler, its request's operation content, a text its answer holds and one it must not.
struct Case {
  Handler handler;
  const char *body, *present, *absent;
};

// Runs each case's handler on its request content and looks for its texts in the answer.
void check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    OutputCapture capture;
    c.handler(request_with_body(std::string("<s:Body><tr2:Op>") + c.body + "</tr2:Op></s:Body>"),
              capture.reply());
    std::string out = capture.take();
    EXPECT_NE(out.find(c.present), std::string::npos) << c.body << "\n" << out;
    EXPECT_TRUE(!*c.absent || out.find(c.absent) == std::string::npos) << c.body << "\n" << out;
  }
}

constexpr char kNoConfig[] = "<SOAP-ENV:Value>ter:NoConfig</SOAP-ENV:Value>";
constexpr char kNoProfile[] = "<SOAP-ENV:Value>ter:NoProfile</SOAP-ENV:Value>";
constexpr char kModify[] = "<SOAP-ENV:Value>ter:ConfigModify</SOAP-ENV:Value>";
#define VENC_OF(s) "<ConfigurationToken>T-VEConf-stream" #s "</ConfigurationToken>"
#define PROFILE(p) "<ProfileToken>" p "</ProfileToken>"
#define RTSP_OF(p) "<Protocol>RTSP</Protocol>" PROFILE(p)

// clang-format off
TEST(Media2Handlers, AnswersTokenFiltersAndFaults) {
  testing::CachedCamera camera(kStreams, kAudio);
  profile_store_reset();
  HwAudio = true;
  profile_create("bare", "bare");  // no configurations
  profile_create("two", "two");
  profile_attach_video_source("two", "T-VSConf-00");
  profile_attach_video_encoder("two", "T-VEConf-stream2");
  auto venc = handle_media2_get_video_encoder_configs;
  auto aenc = handle_media2_get_audio_encoder_configs;
  auto venc_options = handle_media2_video_encoder_options;
  auto uri = handle_media2_get_stream_uri;
  auto set_venc = handle_media2_set_video_encoder_config;
  auto set_vs = handle_media2_set_video_source_config;
  auto set_aenc = handle_media2_set_audio_encoder_config;
  auto vs = "<ConfigurationToken>T-VSConf-00</ConfigurationToken>";
  check({
      {venc, "", "<tr2:GetVideoEncoderConfigurationsResponse><tr2:Configurations token=\"T-VEConf-"
       "stream1\" GovLength=\"30\" Profile=\"Baseline\"><tt:Name>", "Fault"},
      {venc, "", "<tt:Width>1920</tt:Width><tt:Height>1080</tt:Height></tt:Resolution>"
       "<tt:RateControl>"
       "<tt:FrameRateLimit>25</tt:FrameRateLimit><tt:BitrateLimit>4000<", ""},
      {venc, PROFILE("stream2"), "<tt:Width>640<", "T-VEConf-stream1"},
      {venc, PROFILE("bare"), "T-VEConf-stream2", ""},
      {venc, VENC_OF(1), "T-VEConf-stream1", "T-VEConf-stream2"},
      {venc, VENC_OF(2) PROFILE("stream1"), kNoConfig, "Configurations"},
      {venc, PROFILE("stream3"), kNoProfile, ""},
      {aenc, "", "<tt:Encoding>PCMU</tt:Encoding><tt:Multicast>", ""},
      {aenc, "", "<tt:Bitrate>64</tt:Bitrate><tt:SampleRate>8</tt:SampleRate></tr2:Configurations>",
       ""},
      {aenc, PROFILE("stream2"), "<tr2:GetAudioEncoderConfigurationsResponse></tr2:", "T-AEConf"},
      {handle_media2_get_video_source_configs, "", "width=\"1920\" height=\"1080\"", ""},
      {handle_media2_get_metadata_configs, PROFILE("stream1"), "token=\"T-MetadataConf-00\">", ""},
      {venc_options, PROFILE("stream2"), "<tr2:Options GovLengthRange=\"5 30\" FrameRatesSupported"
       "=\"30 29 ", "1920"},
      {venc_options, VENC_OF(1), "<tt:Width>1920</tt:Width>", "JPEG"},
      {venc_options, PROFILE("two"), "<tt:Width>640</tt:Width>", ""},
      {handle_media2_audio_encoder_options, "", "<tr2:Options><tt:Encoding>PCMU<", ""},
      {handle_media2_metadata_options, "<ConfigurationToken>x</ConfigurationToken>", kNoConfig, ""},
      {uri, RTSP_OF("two"), "/onvif/stream2</tr2:Uri>", ""},
      {uri, RTSP_OF("bare"), "ter:IncompleteConfiguration", ""},
      {uri, RTSP_OF("stream3"), kNoProfile, ""},
      {handle_media2_get_snapshot_uri, PROFILE("stream1"), "/onvif/no_image.jpg</tr2:Uri>", ""},
      {handle_media2_set_synchronization_point, PROFILE("x"), kNoProfile, ""},
      {handle_media2_get_video_encoder_instances, vs, "<tr2:Total>2</tr2:Total>", ""},
      {handle_media2_get_video_encoder_instances, "", kNoConfig, ""},
      {handle_media2_get_osds, "", "<tr2:GetOSDsResponse></tr2:GetOSDsResponse>", ""},
      {handle_media2_get_osds, "<OSDToken>o</OSDToken>", kNoConfig, ""},
      {handle_media2_get_osd_options, vs, "<tt:MaximumNumberOfOSDs Total=\"0\"/>", ""},
      {set_venc, "<Configuration token=\"T-VEConf-stream3\"><Encoding>H264</Encoding>", kNoConfig, ""},
      {set_venc, "<tr2:Configuration Profile='Main' token='T-VEConf-stream1'><tt:Encoding>H264<",
       kModify, ""},
      {set_venc, "<Configuration token=\"T-VEConf-stream1\"><Encoding>H264</Encoding><Width>640<",
       kModify, ""},
      {set_venc, "<Configuration GovLength=\"40\" token=\"T-VEConf-stream1\"><Encoding>H264<",
       kModify, ""},
      {set_vs, "<Configuration token=\"T-VSConf-00\"><Bounds x=\"0\" y=\"0\" width=\"1920\" "
       "height=\"1080\"/>",
       "<tr2:SetVideoSourceConfigurationResponse>", ""},
      {set_vs, "<Configuration token=\"HD\">", kNoConfig, ""},
      {set_aenc, "<Configuration token=\"T-AEConf-00\"><Encoding>mpeg4-generic</Encoding><Bitrate>64"
       "</Bitrate><SampleRate>8</SampleRate>", kModify, ""},
  });
  HwAudio = false;
  check({{aenc, "", "Response></tr2:", "T-AEConf-00"},
         {handle_media2_audio_source_options, "", "ter:AudioNotSupported", ""}});
  HwAudio = true;
  profile_store_reset();
}
// clang-format on

}  // namespace
}  // namespace nvtd
