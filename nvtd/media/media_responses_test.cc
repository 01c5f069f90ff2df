// Media responses as they go out: the longest profile listing fits the response buffer
// whole, profile lookups answer in their forms, configuration texts are the published ones,
// and a failed settings write ends SetVideoEncoderConfiguration.
#include <gtest/gtest.h>

#include <string>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/media/config_elements.h"
#include "nvtd/media/media_test_camera.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/media/profiles.h"
#include "nvtd/media/video_config_set.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

// Every number at its widest: resolutions, rates and lengths of 10 or 11 characters.
constexpr char kWidestStreams[] =
    "s0_type = 9\ns0_resolution = -2147418113\ns0_fps = -2147483648\n"
    "s0_cbr_avg_bps = 2147483647\ns0_N = 2147483647\n"
    "s1_type = 9\ns1_resolution = -2147418113\ns1_fps = -2147483648\n"
    "s1_cbr_avg_bps = 2147483647\ns1_N = 2147483647\n";
constexpr char kWidestAudio[] =
    "ain_encode = 0\nain_bitrate = -2147483648\nain_sample_rate = -2147483648\n";

class MediaResponses : public ::testing::Test {
 protected:
  void SetUp() override {
    profile_store_reset();
    HwAudio = true;
  }
  void TearDown() override {
    profile_store_reset();
    HwAudio = true;
  }
};

// The bytes after the blank line, checked against the Content-Length header.
std::string checked_body(const std::string& response) {
  std::size_t blank = response.find("\r\n\r\n");
  EXPECT_NE(blank, std::string::npos);
  std::string body = response.substr(blank + 4);
  std::size_t at = response.find("Content-Length: ");
  EXPECT_NE(at, std::string::npos);
  EXPECT_EQ(std::stoul(response.substr(at + 16)), body.size());
  return body;
}

TEST_F(MediaResponses, LongestProfileListingIsSentWhole) {
  testing::CachedCamera camera(kWidestStreams, kWidestAudio);
  // Five created profiles whose 31-character token, name and configuration tokens grow
  // the most when escaped.
  for (char c = '1'; c <= '5'; ++c) {
    std::string token = std::string(30, '"') + c;
    ASSERT_EQ(profile_create(std::string(31, '\''), token), 0);
    profile_attach_video_source(token, std::string(31, '"'));
    profile_attach_video_encoder(token, std::string(31, '"'));
  }
  OutputCapture capture;
  handle_get_profiles(Request{}, capture.reply());
  std::string body = checked_body(capture.take());
  EXPECT_EQ(body.compare(body.size() - 20, 20, "</SOAP-ENV:Envelope>"), 0);
  EXPECT_EQ(body, get_profiles_envelope());
  EXPECT_LT(body.size(), kResponseBufferSize - 1);
  std::size_t profiles = 0;
  for (std::size_t at = body.find("<trt:Profiles "); at != std::string::npos;
       at = body.find("<trt:Profiles ", at + 1)) {
    ++profiles;
  }
  EXPECT_EQ(profiles, 7u);
  RecordProperty("longest_get_profiles_bytes", static_cast<int>(body.size()));
}

TEST_F(MediaResponses, GetProfileAnswersFixedCreatedUnknownAndMissing) {
  profile_create("Name", "tok");
  profile_attach_video_encoder("tok", "T-VEConf-stream3");
  std::string part = "Body><trt:GetProfile><trt:ProfileToken>tok</trt:ProfileToken>";
  {
    OutputCapture capture;
    handle_get_profile(request_with_body(part), capture.reply());
    std::string body = checked_body(capture.take());
    EXPECT_NE(body.find("<trt:Profile fixed=\"false\" token=\"tok\"><tt:Name>tok</tt:Name>"),
              std::string::npos);
    // stream 1's name and values under the profile's own token; no source, no metadata.
    EXPECT_NE(body.find("token=\"T-VEConf-stream3\"><tt:Name>VideoEncoderConfiguration-stream1"),
              std::string::npos);
    EXPECT_EQ(body.find("VideoSourceConfiguration"), std::string::npos);
    EXPECT_EQ(body.find("MetadataConfiguration"), std::string::npos);
  }
  part = "Body><ProfileToken>stream1</ProfileToken>";
  HwAudio = false;
  {
    OutputCapture capture;
    handle_get_profile(request_with_body(part), capture.reply());
    std::string body = checked_body(capture.take());
    EXPECT_NE(body.find("fixed=\"true\" token=\"stream1\""), std::string::npos);
    EXPECT_EQ(body.find("Audio"), std::string::npos);
    EXPECT_NE(body.find("<tt:MetadataConfiguration"), std::string::npos);
  }
  part = "Body><ProfileToken>nope</ProfileToken>";
  {
    OutputCapture capture;
    handle_get_profile(request_with_body(part), capture.reply());
    std::string out = capture.take();
    EXPECT_EQ(out.find("400"), std::string::npos);
    EXPECT_NE(out.find("ter:NoProfile"), std::string::npos);
  }
  part = "Body><Other>x</Other>";
  {
    OutputCapture capture;
    handle_get_profile(request_with_body(part), capture.reply());
    std::string out = capture.take();
    EXPECT_EQ(out.rfind("HTTP/1.0 400 Bad Request\r\n", 0), 0u);
    EXPECT_NE(out.find("ter:InvalidThing"), std::string::npos);
  }
}

TEST_F(MediaResponses, ConfigurationTextsAreThePublishedOnes) {
  EXPECT_EQ(video_source_configuration(kVideoSourceTag, 2, 1920, 1080, BoundsOrder::kWidthFirst),
            "<tt:VideoSourceConfiguration token=\"T-VSConf-00\"><tt:Name>"
            "VideoSourceConfiguration-01</tt:Name><tt:UseCount>2</tt:UseCount><tt:SourceToken>HD"
            "</tt:SourceToken><tt:Bounds width=\"1920\" height=\"1080\" y=\"0\" x=\"0\">"
            "</tt:Bounds></tt:VideoSourceConfiguration>");
  testing::CachedCamera camera("", "ain_encode = 1\nain_bitrate = 64000\nain_sample_rate = 8000\n");
  EXPECT_EQ(audio_encoder_configuration("trt:Configuration", 3),
            "<trt:Configuration token=\"T-AEConf-00\"><tt:Name>AudioEncoderConfiguration-00"
            "</tt:Name><tt:UseCount>3</tt:UseCount><tt:Encoding>G711</tt:Encoding><tt:Bitrate>64"
            "</tt:Bitrate><tt:SampleRate>8</tt:SampleRate><tt:Multicast><tt:Address><tt:Type>"
            "IPv4</tt:Type><tt:IPv4Address>0.0.0.0</tt:IPv4Address></tt:Address><tt:Port>0"
            "</tt:Port><tt:TTL>5</tt:TTL><tt:AutoStart>false</tt:AutoStart></tt:Multicast>"
            "<tt:SessionTimeout>PT0S</tt:SessionTimeout></trt:Configuration>");
}

TEST_F(MediaResponses, FailedRepetitionEndsTheWritesWithConfigModify) {
  // The peer boards of this camera do not answer: the local server takes the frame rate,
  // the write still counts as failed, and the bitrate is never written.
  testing::CachedCamera camera("s1_resolution = 83886800\n", "");
  Request request = request_with_body(
      "<Body><SetVideoEncoderConfiguration><Configuration token=\"T-VEConf-stream2\">"
      "<FrameRateLimit>15</FrameRateLimit><BitrateLimit>2048</BitrateLimit>"
      "</Configuration></SetVideoEncoderConfiguration></Body>");
  OutputCapture capture;
  handle_set_video_encoder_config(request, capture.reply());
  std::string out = capture.take();
  EXPECT_EQ(out.rfind("HTTP/1.0 400 Bad Request\r\n", 0), 0u);
  EXPECT_NE(out.find("ter:ConfigModify"), std::string::npos);
  std::vector<std::string> sets;
  for (const auto& e : camera.stream_exchanges()) {
    if (e.command != 100) sets.push_back(e.section + ":" + e.text);
  }
  EXPECT_EQ(sets, std::vector<std::string>{"ENCODE:s1_fps = 15\n"});
}

}  // namespace
}  // namespace nvtd
