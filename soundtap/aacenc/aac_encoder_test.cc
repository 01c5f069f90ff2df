#include "soundtap/aacenc/aac_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "soundtap/aacenc/adts.h"

namespace soundtap {
namespace {

struct Block {
  std::vector<uint8_t> work = std::vector<uint8_t>(kAacWorkBytes);
  std::vector<int16_t> in = std::vector<int16_t>(kAacFrameSamples);
  std::vector<uint8_t> out = std::vector<uint8_t>(2048);
  AacEncoderConfig c;
  Block(int32_t rate, int32_t bitrate) {
    c.sample_rate = c.core_sample_rate = rate;
    c.in_channels = c.out_channels = 1;
    c.bit_rate = bitrate;
    c.option_header = 1;
    c.transport = 't';
    c.in_buffer = reinterpret_cast<const uint8_t*>(in.data());
    c.out_buffer = out.data();
    c.out_capacity = out.size();
    c.work_memory = work.data();
    c.work_bytes = work.size();
  }
};

TEST(AacEncoder, SetupWantsTheWholeWorkBlock) {
  Block b(48000, 128000);
  b.c.work_bytes = kAacWorkBytes - 1;
  EXPECT_EQ(vo_aac_encoder().setup(&b.c), kAacNoMemory);
  b.c.work_memory = nullptr;
  b.c.work_bytes = kAacWorkBytes;
  EXPECT_EQ(vo_aac_encoder().setup(&b.c), kAacNoMemory);
}

TEST(AacEncoder, SetupRefusesWhatItCannotProduce) {
  Block rate(47000, 128000);
  EXPECT_EQ(vo_aac_encoder().setup(&rate.c), kAacUnsupported);
  Block latm(48000, 128000);
  latm.c.transport = 'l';
  EXPECT_EQ(vo_aac_encoder().setup(&latm.c), kAacUnsupported);
  Block sbr(48000, 128000);
  sbr.c.extension_mode = 1;
  EXPECT_EQ(vo_aac_encoder().setup(&sbr.c), kAacUnsupported);
  Block stereo(48000, 128000);
  stereo.c.out_channels = 2;
  EXPECT_EQ(vo_aac_encoder().setup(&stereo.c), kAacUnsupported);
}

TEST(AacEncoder, OpenIsRefusedAfterAFailedSetup) {
  Block b(48000, 128000);
  b.c.work_bytes = 10;
  vo_aac_encoder().setup(&b.c);
  EXPECT_EQ(vo_aac_encoder().open(&b.c), kAacNoMemory);
  EXPECT_EQ(b.c.core, nullptr);
}

TEST(AacEncoder, EncodesOneAdtsFrameInsideTheWorkBlock) {
  for (int32_t rate : {48000, 16000}) {
    Block b(rate, 64000);
    ASSERT_EQ(vo_aac_encoder().setup(&b.c), kAacOk);
    EXPECT_EQ(b.c.requested_bit_rate, 64000);
    ASSERT_EQ(vo_aac_encoder().open(&b.c), kAacOk) << rate;
    const auto* core = static_cast<const uint8_t*>(b.c.core);
    EXPECT_TRUE(core >= b.work.data() && core < b.work.data() + b.work.size());
    for (int frame = 0; frame < 5; ++frame) {
      for (int i = 0; i < kAacFrameSamples; ++i) {
        b.in[i] = static_cast<int16_t>(8000 * sin(2 * M_PI * 1000 * (frame * 1024 + i) / rate));
      }
      ASSERT_EQ(vo_aac_encoder().encode(&b.c), kAacOk);
      ASSERT_GT(b.c.out_bits, 8 * 7);
      ASSERT_EQ(b.c.out_bits % 8, 0);
      const unsigned len = ((b.out[3] & 3u) << 11) | (b.out[4] << 3) | (b.out[5] >> 5);
      EXPECT_EQ(len * 8, static_cast<unsigned>(b.c.out_bits));
      EXPECT_EQ(b.out[0], 0xFF);
      EXPECT_EQ(b.out[1], 0xF9);
      EXPECT_EQ((b.out[2] >> 2) & 0xF, adts_frequency_index(rate));
    }
    vo_aac_encoder().close(&b.c);
    EXPECT_EQ(b.c.core, nullptr);
  }
}

}  // namespace
}  // namespace soundtap
