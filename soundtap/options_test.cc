#include "soundtap/options.h"

#include <gtest/gtest.h>

namespace soundtap {
namespace {

Settings parse(std::initializer_list<const char*> args) {
  std::vector<const char*> argv{"soundtap"};
  argv.insert(argv.end(), args);
  return parse_options(static_cast<int>(argv.size()), argv.data());
}

TEST(Options, DefaultsAreUlawAt48kWith128kAndSyslog) {
  const Settings s = parse({});
  EXPECT_EQ(s.sample_rate, 48000);
  EXPECT_EQ(s.encoding, kEncodingUlaw);
  EXPECT_EQ(s.bitrate, 128000);
  EXPECT_TRUE(s.use_syslog);
}

TEST(Options, EveryOptionInAnyOrderUnknownIgnored) {
  const Settings s =
      parse({"--stdout", "-x", "--bitrate", "64000", "junk", "--aac", "--samplerate", "16000"});
  EXPECT_EQ(s.sample_rate, 16000);
  EXPECT_EQ(s.bitrate, 64000);
  EXPECT_EQ(s.encoding, kEncodingAac);
  EXPECT_FALSE(s.use_syslog);
}

TEST(Options, LaterOptionWinsAndMatchIsExact) {
  EXPECT_EQ(parse({"--aac", "--pcm"}).encoding, kEncodingPcm);
  EXPECT_EQ(parse({"--pcm", "--ulaw"}).encoding, kEncodingUlaw);
  EXPECT_EQ(parse({"--samplerate", "8000", "--samplerate", "32000"}).sample_rate, 32000);
  EXPECT_EQ(parse({"--PCM", "--pcmx", "-pcm"}).encoding, kEncodingUlaw);
}

TEST(Options, ValueOptionConsumesNextArgumentWithoutRangeCheck) {
  // "--pcm" here is the value of "--bitrate", not an option.
  const Settings s = parse({"--bitrate", "--pcm", "--samplerate", "-5"});
  EXPECT_EQ(s.bitrate, 0);
  EXPECT_EQ(s.encoding, kEncodingUlaw);
  EXPECT_EQ(s.sample_rate, -5);
}

TEST(Options, ValueOptionGivenLastIsIgnored) {
  EXPECT_EQ(parse({"--samplerate"}).sample_rate, 48000);
  EXPECT_EQ(parse({"--aac", "--bitrate"}).bitrate, 128000);
}

TEST(Options, EncodingNames) {
  EXPECT_STREQ(encoding_name(1), "pcm");
  EXPECT_STREQ(encoding_name(2), "ulaw");
  EXPECT_STREQ(encoding_name(3), "aac");
  EXPECT_STREQ(encoding_name(0), "pcm");
}

}  // namespace
}  // namespace soundtap
