// The stream and audio readers: their conversions, and their keys read through the
// request's section cache.
#include "nvtd/media/stream_settings.h"

#include <gtest/gtest.h>

#include "nvtd/media/media_test_camera.h"

namespace nvtd {
namespace {

TEST(StreamConversions, FollowTheReportedForms) {
  EXPECT_STREQ(encoding_name_of(0), "H264");
  EXPECT_STREQ(encoding_name_of(1), "H264");
  EXPECT_STREQ(encoding_name_of(2), "JPEG");
  EXPECT_STREQ(encoding_name_of(-1), "H264");  // failed read: the default encoding
  EXPECT_STREQ(encoding_name_of(7), "H264");
  EXPECT_EQ(width_of(1920 << 16 | 1080), 1920);
  EXPECT_EQ(height_of(1920 << 16 | 1080), 1080);
  EXPECT_EQ(width_of(-1), -1);  // arithmetic shift
  EXPECT_EQ(height_of(-1), 65535);
  EXPECT_EQ(frame_rate_of(-1), 0);
  EXPECT_EQ(frame_rate_of(25), 25);
  EXPECT_EQ(kbps_of(0), 0);
  EXPECT_EQ(kbps_of(-1), 0);
  EXPECT_EQ(kbps_of(2048999), 2048);
  EXPECT_EQ(gov_length_of(-3), 0);
  EXPECT_EQ(gov_length_of(30), 30);
}

TEST(StreamReaders, ReadStreamKeysFromTheirSections) {
  testing::CachedCamera camera(
      "s0_type = 1\ns0_resolution = 125830200\ns0_fps = 25\ns0_cbr_avg_bps = 4000000\n"
      "s0_N = 30\ns3_type = 2\ns3_resolution = 20971760\ns3_fps = 15\n"
      "s3_cbr_avg_bps = 512000\ns3_N = 15\n",
      "ain_encode = 1\nain_bitrate = 64000\nain_sample_rate = 8000\n");
  EXPECT_STREQ(stream_encoding(1), "H264");
  EXPECT_EQ(stream_width(1), 1920);
  EXPECT_EQ(stream_height(1), 1080);
  EXPECT_EQ(stream_frame_rate(1), 25);
  EXPECT_EQ(stream_bitrate_kbps(1), 4000);
  EXPECT_EQ(stream_gov_length(1), 30);
  EXPECT_STREQ(stream_encoding(4), "JPEG");
  EXPECT_EQ(stream_width(4), 320);
  EXPECT_EQ(stream_height(4), 240);
  EXPECT_EQ(stream_bitrate_kbps(4), 512);
  // Stream 2 has no keys here: the missing-key conversions.
  EXPECT_EQ(stream_frame_rate(2), 0);
  EXPECT_EQ(stream_bitrate_kbps(2), 0);
  EXPECT_STREQ(audio_encoding(), "G711");
  EXPECT_EQ(audio_bitrate(), 64);
  EXPECT_EQ(audio_sample_rate(), 8);
}

TEST(StreamReaders, WithoutCacheEveryKeyIsMissing) {
  EXPECT_EQ(stream_width(1), -1);
  EXPECT_EQ(stream_frame_rate(1), 0);
  EXPECT_STREQ(audio_encoding(), "AAC");
  EXPECT_EQ(audio_bitrate(), 0);
}

}  // namespace
}  // namespace nvtd
