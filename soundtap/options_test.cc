#include "soundtap/options.h"

#include <gtest/gtest.h>

namespace soundtap {
namespace {

Settings Parse(std::initializer_list<const char*> args) {
  std::vector<const char*> argv{"soundtap"};
  argv.insert(argv.end(), args);
  return ParseOptions(static_cast<int>(argv.size()), argv.data());
}

TEST(Options, DefaultsAreUlawAt48kWith128kAndSyslog) {
  const Settings s = Parse({});
  EXPECT_EQ(s.sample_rate, 48000);
  EXPECT_EQ(s.encoding, kEncodingUlaw);
  EXPECT_EQ(s.bitrate, 128000);
  EXPECT_TRUE(s.use_syslog);
}

TEST(Options, EveryOptionInAnyOrderUnknownIgnored) {
  const Settings s =
      Parse({"--stdout", "-x", "--bitrate", "64000", "junk", "--aac", "--samplerate", "16000"});
  EXPECT_EQ(s.sample_rate, 16000);
  EXPECT_EQ(s.bitrate, 64000);
  EXPECT_EQ(s.encoding, kEncodingAac);
  EXPECT_FALSE(s.use_syslog);
}

TEST(Options, LaterOptionWinsAndMatchIsExact) {
  EXPECT_EQ(Parse({"--aac", "--pcm"}).encoding, kEncodingPcm);
  EXPECT_EQ(Parse({"--pcm", "--ulaw"}).encoding, kEncodingUlaw);
  EXPECT_EQ(Parse({"--samplerate", "8000", "--samplerate", "32000"}).sample_rate, 32000);
  EXPECT_EQ(Parse({"--PCM", "--pcmx", "-pcm"}).encoding, kEncodingUlaw);
}

TEST(Options, ValueOptionConsumesNextArgumentWithoutRangeCheck) {
  // "--pcm" here is the value of "--bitrate", not an option.
  const Settings s = Parse({"--bitrate", "--pcm", "--samplerate", "-5"});
  EXPECT_EQ(s.bitrate, 0);
  EXPECT_EQ(s.encoding, kEncodingUlaw);
  EXPECT_EQ(s.sample_rate, -5);
}

TEST(Options, ValueOptionGivenLastIsIgnored) {
  EXPECT_EQ(Parse({"--samplerate"}).sample_rate, 48000);
  EXPECT_EQ(Parse({"--aac", "--bitrate"}).bitrate, 128000);
}

TEST(Options, EncodingNames) {
  EXPECT_STREQ(EncodingName(1), "pcm");
  EXPECT_STREQ(EncodingName(2), "ulaw");
  EXPECT_STREQ(EncodingName(3), "aac");
  EXPECT_STREQ(EncodingName(0), "pcm");
}

}  // namespace
}  // namespace soundtap
