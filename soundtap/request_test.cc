#include "soundtap/request.h"

#include <gtest/gtest.h>

namespace soundtap {
namespace {

using Tokens = std::vector<std::string>;

TEST(Tokenize, SpacesSeparateRunsCountAsOneTabsDoNot) {
  EXPECT_EQ(tokenize_request("start audio /tmp/soundtap/a"),
            (Tokens{"start", "audio", "/tmp/soundtap/a"}));
  EXPECT_EQ(tokenize_request("  start   audio  x  "), (Tokens{"start", "audio", "x"}));
  EXPECT_EQ(tokenize_request("start\taudio x"), (Tokens{"start\taudio", "x"}));
  EXPECT_TRUE(tokenize_request("").empty());
  EXPECT_TRUE(tokenize_request("    ").empty());
}

TEST(Tokenize, AtMostTenTokens) {
  const Tokens t = tokenize_request("a b c d e f g h i j k l");
  ASSERT_EQ(t.size(), 10u);
  EXPECT_EQ(t.back(), "j");
}

TEST(Classify, GetinfoAndStartAudio) {
  EXPECT_EQ(classify_request({"getinfo"}).kind, RequestKind::kGetInfo);
  EXPECT_EQ(classify_request({"getinfo", "extra"}).kind, RequestKind::kGetInfo);
  const Request r = classify_request({"start", "audio", "/tmp/soundtap/x", "more"});
  EXPECT_EQ(r.kind, RequestKind::kStartAudio);
  EXPECT_EQ(r.path, "/tmp/soundtap/x");
}

TEST(Classify, EverythingElseIsIgnored) {
  for (const Tokens& t :
       {Tokens{}, Tokens{"start", "video", "/tmp/x"}, Tokens{"stop", "audio", "/tmp/x"},
        Tokens{"start", "audio"}, Tokens{"start"}, Tokens{"GETINFO"}, Tokens{"getinfo\t"}}) {
    EXPECT_EQ(classify_request(t).kind, RequestKind::kIgnored) << t.size();
  }
}

TEST(InfoReply, FormatsRateBitrateAndEncodingName) {
  Settings s;
  EXPECT_EQ(format_info_reply(s), "sample 48000 bitrate 128000 encode ulaw");
  s.encoding = kEncodingAac;
  s.bitrate = 64000;
  s.sample_rate = 16000;
  EXPECT_EQ(format_info_reply(s), "sample 16000 bitrate 64000 encode aac");
  s.encoding = kEncodingPcm;
  EXPECT_EQ(format_info_reply(s), "sample 16000 bitrate 64000 encode pcm");
}

}  // namespace
}  // namespace soundtap
