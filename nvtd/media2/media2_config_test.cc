// The Media2 configuration, option, Set and stream handlers called directly: which
// configurations each token filter leaves, the ver20 faults, and that a Media2 Set writes the
// same settings as the Media1 one.
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

struct Case {
  const char* what;
  Handler handler;
  const char* body;  // inside the Body's operation element
  std::vector<const char*> present;
  std::vector<const char*> absent;
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
  void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      std::string out = run(c.handler, c.body);
      for (const char* text : c.present)
        EXPECT_NE(out.find(text), std::string::npos) << c.what << ": " << text << "\n" << out;
      for (const char* text : c.absent)
        EXPECT_EQ(out.find(text), std::string::npos) << c.what << ": " << text << "\n" << out;
    }
  }
};

constexpr char kNoConfig[] = "<SOAP-ENV:Value>ter:NoConfig</SOAP-ENV:Value>";
constexpr char kNoProfile[] = "<SOAP-ENV:Value>ter:NoProfile</SOAP-ENV:Value>";
constexpr char kModify[] = "<SOAP-ENV:Value>ter:ConfigModify</SOAP-ENV:Value>";

TEST_F(Media2Handlers, ListingsFollowTheTokenFilters) {
  testing::CachedCamera camera(kStreams, kAudio);
  auto venc = handle_media2_get_video_encoder_configs;
  auto aenc = handle_media2_get_audio_encoder_configs;
  check({
      {"all encoders",
       venc,
       "",
       {"token=\"T-VEConf-stream1\" GovLength=\"30\" Profile=\"Baseline\"",
        "<tt:Width>1920</tt:Width><tt:Height>1080</tt:Height>", "<tt:FrameRateLimit>25<",
        "<tt:BitrateLimit>4000<", "token=\"T-VEConf-stream2\" GovLength=\"15\"",
        "<tr2:GetVideoEncoderConfigurationsResponse><tr2:Configurations "},
       {"Fault"}},
      {"fixed profile",
       venc,
       "<tr2:ProfileToken>stream2</tr2:ProfileToken>",
       {"T-VEConf-stream2", "<tt:Width>640<"},
       {"T-VEConf-stream1"}},
      {"created profile takes any",
       venc,
       "<ProfileToken>bare</ProfileToken>",
       {"T-VEConf-stream1", "T-VEConf-stream2"},
       {}},
      {"one configuration",
       venc,
       "<ConfigurationToken>T-VEConf-stream1</ConfigurationToken>",
       {"T-VEConf-stream1"},
       {"T-VEConf-stream2"}},
      {"configuration outside the profile",
       venc,
       "<ConfigurationToken>T-VEConf-stream2</ConfigurationToken>"
       "<ProfileToken>stream1</ProfileToken>",
       {kNoConfig, "HTTP/1.0 400"},
       {"Configurations"}},
      {"unknown configuration",
       venc,
       "<ConfigurationToken>T-VEConf-stream3</ConfigurationToken>",
       {kNoConfig},
       {}},
      {"unknown profile", venc, "<ProfileToken>stream3</ProfileToken>", {kNoProfile}, {}},
      {"audio by media type name",
       aenc,
       "",
       {"token=\"T-AEConf-00\"", "<tt:Encoding>PCMU</tt:Encoding><tt:Multicast>",
        "<tt:Bitrate>64</tt:Bitrate><tt:SampleRate>8</tt:SampleRate></tr2:Configurations>"},
       {}},
      {"no audio in stream2",
       aenc,
       "<ProfileToken>stream2</ProfileToken>",
       {"<tr2:GetAudioEncoderConfigurationsResponse></tr2:"},
       {"T-AEConf-00"}},
      {"video source",
       handle_media2_get_video_source_configs,
       "",
       {"<tr2:Configurations token=\"T-VSConf-00\">", "width=\"1920\" height=\"1080\""},
       {}},
      {"metadata",
       handle_media2_get_metadata_configs,
       "<ProfileToken>stream1</ProfileToken>",
       {"<tr2:Configurations token=\"T-MetadataConf-00\">"},
       {}},
  });
  HwAudio = false;
  check(
      {{"no audio at all", aenc, "", {"Response></tr2:"}, {"T-AEConf-00"}},
       {"no audio source", handle_media2_audio_source_options, "", {"ter:AudioNotSupported"}, {}}});
}

TEST_F(Media2Handlers, OptionsAreTheOnesTheSetTakes) {
  testing::CachedCamera camera(kStreams, kAudio);
  auto venc = handle_media2_video_encoder_options;
  check({
      {"encoder of stream 2",
       venc,
       "<ProfileToken>stream2</ProfileToken>",
       {"<tr2:Options GovLengthRange=\"5 30\" FrameRatesSupported=\"30 29 ", " 2 1\"",
        "<tt:Encoding>H264</tt:Encoding>", "<tt:Width>640</tt:Width>",
        "<tt:Min>101</tt:Min><tt:Max>20000</tt:Max>"},
       {"JPEG", "1920"}},
      {"encoder by configuration",
       venc,
       "<ConfigurationToken>T-VEConf-stream1</ConfigurationToken>",
       {"<tt:Width>1920</tt:Width>"},
       {}},
      {"video source",
       handle_media2_video_source_options,
       "",
       {"<tr2:GetVideoSourceConfigurationOptionsResponse><tr2:Options><tt:BoundsRange>",
        "<tt:Max>1919</tt:Max>"},
       {"trt:"}},
      {"audio encoder",
       handle_media2_audio_encoder_options,
       "",
       {"<tr2:Options><tt:Encoding>PCMU</tt:Encoding><tt:BitrateList><tt:Items>64<"},
       {}},
      {"metadata",
       handle_media2_metadata_options,
       "<ConfigurationToken>x</ConfigurationToken>",
       {kNoConfig},
       {}},
  });
}

TEST_F(Media2Handlers, StreamsSnapshotsAndOsds) {
  testing::CachedCamera camera(kStreams, kAudio);
  auto uri = handle_media2_get_stream_uri;
  check({
      {"rtsp",
       uri,
       "<Protocol>RTSP</Protocol><ProfileToken>stream2</ProfileToken>",
       {"<tr2:GetStreamUriResponse><tr2:Uri>rtsp://", "/onvif/stream2</tr2:Uri>"},
       {}},
      {"created profile on stream 2",
       uri,
       "<Protocol>RtspUnicast</Protocol><ProfileToken>two</ProfileToken>",
       {"/onvif/stream2<"},
       {}},
      {"tunnelling",
       uri,
       "<Protocol>RtspOverHttp</Protocol><ProfileToken>stream1</ProfileToken>",
       {"ter:InvalidArgVal", "ter:InvalidStreamSetup", "HTTP/1.0 400"},
       {"Uri"}},
      {"multicast",
       uri,
       "<Protocol>RtspMulticast</Protocol><ProfileToken>stream1</ProfileToken>",
       {"ter:InvalidStreamSetup"},
       {}},
      {"nothing to stream",
       uri,
       "<Protocol>RTSP</Protocol><ProfileToken>bare</ProfileToken>",
       {"ter:IncompleteConfiguration", "HTTP/1.0 500"},
       {}},
      {"unknown profile",
       uri,
       "<Protocol>RTSP</Protocol><ProfileToken>stream3</ProfileToken>",
       {kNoProfile},
       {}},
      {"snapshot",
       handle_media2_get_snapshot_uri,
       "<ProfileToken>stream1</ProfileToken>",
       {"<tr2:Uri>http://", "/onvif/no_image.jpg</tr2:Uri>"},
       {}},
      {"sync point",
       handle_media2_set_synchronization_point,
       "<ProfileToken>bare</ProfileToken>",
       {"<tr2:SetSynchronizationPointResponse></tr2:"},
       {}},
      {"sync point of none",
       handle_media2_set_synchronization_point,
       "<ProfileToken>x</ProfileToken>",
       {kNoProfile},
       {}},
      {"instances",
       handle_media2_get_video_encoder_instances,
       "<ConfigurationToken>T-VSConf-00</ConfigurationToken>",
       {"<tr2:Total>2</tr2:Total>"},
       {}},
      {"instances of none", handle_media2_get_video_encoder_instances, "", {kNoConfig}, {}},
      {"no osds", handle_media2_get_osds, "", {"<tr2:GetOSDsResponse></tr2:GetOSDsResponse>"}, {}},
      {"no such osd", handle_media2_get_osds, "<OSDToken>o</OSDToken>", {kNoConfig}, {}},
      {"osd options",
       handle_media2_get_osd_options,
       "<ConfigurationToken>T-VSConf-00</ConfigurationToken>",
       {"<tt:MaximumNumberOfOSDs Total=\"0\"/>"},
       {}},
  });
}

TEST_F(Media2Handlers, SetsAreRefusedWithTheVer20Faults) {
  testing::CachedCamera camera(kStreams, kAudio);
  auto venc = handle_media2_set_video_encoder_config;
  check({
      {"unknown encoder",
       venc,
       "<Configuration token=\"T-VEConf-stream3\"><Encoding>H264<"
       "/Encoding></Configuration>",
       {kNoConfig},
       {}},
      {"jpeg",
       venc,
       "<Configuration token=\"T-VEConf-stream1\"><Encoding>JPEG</Encoding>"
       "</Configuration>",
       {kModify},
       {}},
      {"main profile",
       venc,
       "<tr2:Configuration Profile='Main' token='T-VEConf-stream1'>"
       "<tt:Encoding>H264</tt:Encoding></tr2:Configuration>",
       {kModify},
       {}},
      {"other resolution",
       venc,
       "<Configuration token=\"T-VEConf-stream1\"><Encoding>H264<"
       "/Encoding><Resolution><Width>640</Width></Resolution></Configuration>",
       {kModify},
       {}},
      {"gov length",
       venc,
       "<Configuration GovLength=\"40\" token=\"T-VEConf-stream1\">"
       "<Encoding>H264</Encoding></Configuration>",
       {kModify},
       {}},
      {"source bounds",
       handle_media2_set_video_source_config,
       "<Configuration token=\"T-VSConf-00\"><Bounds x=\"0\" y=\"0\" width=\"1920\" "
       "height=\"1080\"/></Configuration>",
       {"<tr2:SetVideoSourceConfigurationResponse>"},
       {}},
      {"other bounds",
       handle_media2_set_video_source_config,
       "<Configuration token=\"T-VSConf-00\"><Bounds x=\"0\" y=\"0\" width=\"640\" "
       "height=\"1080\"/></Configuration>",
       {kModify},
       {}},
      {"unknown source",
       handle_media2_set_video_source_config,
       "<Configuration token=\"HD\"></Configuration>",
       {kNoConfig},
       {}},
      {"audio pcmu",
       handle_media2_set_audio_encoder_config,
       "<Configuration token=\"T-AEConf-00\"><Encoding>PCMU</Encoding><Bitrate>64</Bitrate>"
       "<SampleRate>8</SampleRate></Configuration>",
       {"<tr2:SetAudioEncoderConfigurationResponse>"},
       {}},
      {"audio aac",
       handle_media2_set_audio_encoder_config,
       "<Configuration token=\"T-AEConf-00\"><Encoding>mpeg4-generic</Encoding><Bitrate>64"
       "</Bitrate><SampleRate>8</SampleRate></Configuration>",
       {kModify},
       {}},
  });
}

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

struct SetCase {
  Handler handler;
  std::string body;
  const char* answer;
};

TEST_F(Media2Handlers, SetVideoEncoderWritesWhatMedia1Writes) {
  const std::vector<std::string> expected = {"ENCODE:s1_fps = 12\n",
                                             "STREAM1:s1_cbr_avg_bps = 20000000\n",
                                             "STREAM1:s1_N = 24\n", "ENCODE:s1_type = 1\n"};
  // Media2: GOV length as an attribute, the bitrate above the top adapted to it.
  SetCase media2{
      handle_media2_set_video_encoder_config,
      "<tr2:Configuration token=\"T-VEConf-stream2\" GovLength=\"24\" Profile=\"Baseline\">"
      "<tt:Name>n</tt:Name><tt:UseCount>1</tt:UseCount><tt:Encoding>H264</tt:Encoding>"
      "<tt:Resolution><tt:Width>640</tt:Width><tt:Height>360</tt:Height></tt:Resolution>"
      "<tt:RateControl><tt:FrameRateLimit>12.0</tt:FrameRateLimit>"
      "<tt:BitrateLimit>90000</tt:BitrateLimit></tt:RateControl><tt:Quality>80</tt:Quality>"
      "</tr2:Configuration>",
      "<tr2:SetVideoEncoderConfigurationResponse></tr2:"};
  SetCase media1{
      handle_set_video_encoder_config,
      "<trt:Configuration token=\"T-VEConf-stream2\"><tt:Encoding>H264</tt:Encoding>"
      "<tt:Resolution><tt:Width>640</tt:Width><tt:Height>360</tt:Height></tt:Resolution>"
      "<tt:RateControl><tt:FrameRateLimit>12</tt:FrameRateLimit><tt:BitrateLimit>90000"
      "</tt:BitrateLimit></tt:RateControl><tt:H264><tt:GovLength>24</tt:GovLength></tt:H264>"
      "</trt:Configuration>",
      "<trt:SetVideoEncoderConfigurationResponse></trt:"};
  for (const SetCase& c : {media2, media1}) {
    testing::CachedCamera camera(kStreams, kAudio);
    auto peers = answering_peers();
    std::string out = run(c.handler, c.body);
    EXPECT_NE(out.find(c.answer), std::string::npos) << out;
    EXPECT_EQ(sets_of(camera), expected);
  }
  // A bitrate below the bottom is adapted up rather than refused.
  testing::CachedCamera camera(kStreams, kAudio);
  auto peers = answering_peers();
  run(handle_media2_set_video_encoder_config,
      "<Configuration token=\"T-VEConf-stream1\"><Encoding>H264</Encoding><RateControl>"
      "<BitrateLimit>5</BitrateLimit></RateControl></Configuration>");
  EXPECT_EQ(sets_of(camera), (std::vector<std::string>{"STREAM0:s0_cbr_avg_bps = 101000\n",
                                                       "ENCODE:s0_type = 1\n"}));
}

}  // namespace
}  // namespace nvtd
