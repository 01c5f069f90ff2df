// The Media2 handlers called directly: what each token filter leaves, the ver20 faults, and a
// Media2 encoder Set writing the settings the Media1 one writes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/getset/server_addresses.h"
#include "nvtd/media/media_test_camera.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/media/video_config_set.h"
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

class Media2Handlers : public ::testing::Test {
 protected:
  void SetUp() override {
    profile_store_reset();
    HwAudio = true;
    profile_create("bare", "bare");  // no configurations
    profile_create("two", "two");
    profile_attach_video_source("two", "T-VSConf-00");
    profile_attach_video_encoder("two", "T-VEConf-stream2");
  }
  void TearDown() override { profile_store_reset(); }

  static std::string run(Handler handler, const std::string& body) {
    OutputCapture capture;
    handler(request_with_body("<s:Envelope><s:Body><tr2:Op>" + body + "</tr2:Op></s:Body>"),
            capture.reply());
    return capture.take();
  }
  static void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      std::string out = run(c.handler, c.body);
      EXPECT_NE(out.find(c.present), std::string::npos) << c.body << "\n" << out;
      EXPECT_TRUE(!*c.absent || out.find(c.absent) == std::string::npos) << c.body << "\n" << out;
    }
  }
};

constexpr char kNoConfig[] = "<SOAP-ENV:Value>ter:NoConfig</SOAP-ENV:Value>";
constexpr char kNoProfile[] = "<SOAP-ENV:Value>ter:NoProfile</SOAP-ENV:Value>";
constexpr char kModify[] = "<SOAP-ENV:Value>ter:ConfigModify</SOAP-ENV:Value>";
#define VENC_OF(s) "<ConfigurationToken>T-VEConf-stream" #s "</ConfigurationToken>"
#define PROFILE(p) "<ProfileToken>" p "</ProfileToken>"
#define RTSP_OF(p) "<Protocol>RTSP</Protocol>" PROFILE(p)

// clang-format off
TEST_F(Media2Handlers, TokensFilterAndFaultAsTheVer20ServiceSays) {
  testing::CachedCamera camera(kStreams, kAudio);
  auto venc = handle_media2_get_video_encoder_configs;
  auto aenc = handle_media2_get_audio_encoder_configs;
  auto venc_options = handle_media2_video_encoder_options;
  auto uri = handle_media2_get_stream_uri;
  auto vs = "<ConfigurationToken>T-VSConf-00</ConfigurationToken>";
  check({
      {venc, "", "<tr2:GetVideoEncoderConfigurationsResponse><tr2:Configurations token=\"T-VEConf-"
       "stream1\" GovLength=\"30\" Profile=\"Baseline\"><tt:Name>", "Fault"},
      {venc, "", "<tt:Width>1920</tt:Width><tt:Height>1080</tt:Height></tt:Resolution>"
       "<tt:RateControl>"
       "<tt:FrameRateLimit>25</tt:FrameRateLimit><tt:BitrateLimit>4000<", ""},
      {venc, "", "token=\"T-VEConf-stream2\" GovLength=\"15\"", ""},
      {venc, PROFILE("stream2"), "<tt:Width>640<", "T-VEConf-stream1"},
      {venc, PROFILE("bare"), "T-VEConf-stream2", ""},
      {venc, VENC_OF(1), "T-VEConf-stream1", "T-VEConf-stream2"},
      {venc, VENC_OF(2) PROFILE("stream1"), kNoConfig, "Configurations"},
      {venc, VENC_OF(3), kNoConfig, ""},
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
      {handle_media2_video_source_options, "", "<tr2:GetVideoSourceConfigurationOptionsResponse>"
       "<tr2:Options><tt:BoundsRange>", "trt:"},
      {handle_media2_audio_encoder_options, "", "<tr2:Options><tt:Encoding>PCMU<", ""},
      {handle_media2_metadata_options, "<ConfigurationToken>x</ConfigurationToken>", kNoConfig, ""},
      {uri, RTSP_OF("stream2"), "<tr2:GetStreamUriResponse><tr2:Uri>rtsp://", ""},
      {uri, RTSP_OF("two"), "/onvif/stream2</tr2:Uri>", ""},
      {uri, "<Protocol>RtspOverHttp</Protocol>" PROFILE("stream1"), "ter:InvalidStreamSetup",
       "Uri"},
      {uri, RTSP_OF("bare"), "ter:IncompleteConfiguration", ""},
      {uri, RTSP_OF("stream3"), kNoProfile, ""},
      {handle_media2_get_snapshot_uri, PROFILE("stream1"), "/onvif/no_image.jpg</tr2:Uri>", ""},
      {handle_media2_set_synchronization_point, PROFILE("x"), kNoProfile, ""},
      {handle_media2_get_video_encoder_instances, vs, "<tr2:Total>2</tr2:Total>", ""},
      {handle_media2_get_video_encoder_instances, "", kNoConfig, ""},
      {handle_media2_get_osds, "", "<tr2:GetOSDsResponse></tr2:GetOSDsResponse>", ""},
      {handle_media2_get_osds, "<OSDToken>o</OSDToken>", kNoConfig, ""},
      {handle_media2_get_osd_options, vs, "<tt:MaximumNumberOfOSDs Total=\"0\"/>", ""},
  });
  HwAudio = false;
  check({{aenc, "", "Response></tr2:", "T-AEConf-00"},
         {handle_media2_audio_source_options, "", "ter:AudioNotSupported", ""}});
}

TEST_F(Media2Handlers, SetsRefuseWithTheVer20Faults) {
  testing::CachedCamera camera(kStreams, kAudio);
  auto venc = handle_media2_set_video_encoder_config;
  auto vs = handle_media2_set_video_source_config;
  auto aenc = handle_media2_set_audio_encoder_config;
  check({
      {venc, "<Configuration token=\"T-VEConf-stream3\"><Encoding>H264</Encoding>", kNoConfig, ""},
      {venc, "<Configuration token=\"T-VEConf-stream1\"><Encoding>JPEG</Encoding>", kModify, ""},
      {venc, "<tr2:Configuration Profile='Main' token='T-VEConf-stream1'><tt:Encoding>H264<",
       kModify, ""},
      {venc, "<Configuration token=\"T-VEConf-stream1\"><Encoding>H264</Encoding><Width>640<",
       kModify, ""},
      {venc, "<Configuration GovLength=\"40\" token=\"T-VEConf-stream1\"><Encoding>H264<",
       kModify, ""},
      {vs, "<Configuration token=\"T-VSConf-00\"><Bounds x=\"0\" y=\"0\" width=\"1920\" "
       "height=\"1080\"/>",
       "<tr2:SetVideoSourceConfigurationResponse>", ""},
      {vs, "<Configuration token=\"T-VSConf-00\"><Bounds x=\"0\" y=\"0\" width=\"640\" "
       "height=\"1080\"/>",
       kModify, ""},
      {vs, "<Configuration token=\"HD\">", kNoConfig, ""},
      {aenc, "<Configuration token=\"T-AEConf-00\"><Encoding>PCMU</Encoding><Bitrate>64</Bitrate>"
       "<SampleRate>8</SampleRate>", "<tr2:SetAudioEncoderConfigurationResponse>", ""},
      {aenc, "<Configuration token=\"T-AEConf-00\"><Encoding>mpeg4-generic</Encoding><Bitrate>64"
       "</Bitrate><SampleRate>8</SampleRate>", kModify, ""},
  });
}
// clang-format on

// The sets the settings server of streams 0..3 was sent, as "SECTION:key = value".
std::vector<std::string> sets_of(const testing::CachedCamera& camera) {
  std::vector<std::string> sets;
  for (const auto& e : camera.stream_exchanges()) {
    if (e.command != 100) sets.push_back(e.section + ":" + e.text);
  }
  return sets;
}

// Servers on the peer boards, so that the repetitions of each write succeed.
std::vector<std::unique_ptr<testing::TestServer>> answering_peers() {
  std::vector<std::unique_ptr<testing::TestServer>> peers;
  for (const auto& board : settings_setup().peer_boards) {
    peers.push_back(std::make_unique<testing::TestServer>(board, 20000, testing::Script{}));
  }
  return peers;
}

TEST_F(Media2Handlers, SetVideoEncoderWritesWhatMedia1Writes) {
  const std::vector<std::string> stream2 = {"ENCODE:s1_fps = 12\n",
                                            "STREAM1:s1_cbr_avg_bps = 20000000\n",
                                            "STREAM1:s1_N = 24\n", "ENCODE:s1_type = 1\n"};
  struct {
    Handler handler;
    const char* body;
    std::vector<std::string> sets;
  } cases[] = {
      // Media2: GOV length as an attribute, the bitrate above the top adapted to it.
      {handle_media2_set_video_encoder_config,
       "<tr2:Configuration token=\"T-VEConf-stream2\" GovLength=\"24\" Profile=\"Baseline\">"
       "<tt:Encoding>H264</tt:Encoding><tt:Width>640</tt:Width><tt:Height>360</tt:Height>"
       "<tt:FrameRateLimit>12.0</tt:FrameRateLimit><tt:BitrateLimit>90000</tt:BitrateLimit>",
       stream2},
      {handle_set_video_encoder_config,
       "<trt:Configuration token=\"T-VEConf-stream2\"><tt:Encoding>H264</tt:Encoding>"
       "<tt:Width>640</tt:Width><tt:Height>360</tt:Height><tt:FrameRateLimit>12</tt:FrameRateLimit>"
       "<tt:BitrateLimit>90000</tt:BitrateLimit><tt:GovLength>24</tt:GovLength>",
       stream2},
      // A bitrate below the bottom is adapted up rather than refused.
      {handle_media2_set_video_encoder_config,
       "<Configuration "
       "token=\"T-VEConf-stream1\"><Encoding>H264</Encoding><BitrateLimit>5</BitrateLimit>",
       {"STREAM0:s0_cbr_avg_bps = 101000\n", "ENCODE:s0_type = 1\n"}},
  };
  for (const auto& c : cases) {
    testing::CachedCamera camera(kStreams, kAudio);
    auto peers = answering_peers();
    std::string out = run(c.handler, c.body);
    EXPECT_NE(out.find("SetVideoEncoderConfigurationResponse></"), std::string::npos) << out;
    EXPECT_EQ(sets_of(camera), c.sets);
  }
}

}  // namespace
}  // namespace nvtd
