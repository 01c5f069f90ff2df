#include "soundtap/aacenc/adts.h"

#include <gtest/gtest.h>

namespace soundtap {
namespace {

TEST(Adts, FrequencyIndexTable) {
  EXPECT_EQ(adts_frequency_index(96000), 0);
  EXPECT_EQ(adts_frequency_index(48000), 3);
  EXPECT_EQ(adts_frequency_index(44100), 4);
  EXPECT_EQ(adts_frequency_index(16000), 8);
  EXPECT_EQ(adts_frequency_index(8000), 11);
  EXPECT_EQ(adts_frequency_index(7350), 12);
  EXPECT_EQ(adts_frequency_index(47999), -1);
}

// Reads n bits from the header starting at bit position pos (MSB first).
unsigned bits(const uint8_t* h, int pos, int n) {
  unsigned v = 0;
  for (int i = 0; i < n; ++i) v = (v << 1) | ((h[(pos + i) / 8] >> (7 - (pos + i) % 8)) & 1);
  return v;
}

TEST(Adts, HeaderFieldsMpeg2LcMonoNoCrc) {
  uint8_t h[kAdtsHeaderBytes];
  write_adts_header(h, 3, 1, 0x1234 & 0x1FFF);
  EXPECT_EQ(bits(h, 0, 12), 0xFFFu);             // sync word
  EXPECT_EQ(bits(h, 12, 1), 1u);                 // MPEG-2
  EXPECT_EQ(bits(h, 13, 2), 0u);                 // layer
  EXPECT_EQ(bits(h, 15, 1), 1u);                 // protection absent
  EXPECT_EQ(bits(h, 16, 2), 1u);                 // AAC LC
  EXPECT_EQ(bits(h, 18, 4), 3u);                 // 48000 Hz
  EXPECT_EQ(bits(h, 23, 3), 1u);                 // mono
  EXPECT_EQ(bits(h, 30, 13), 0x1234u & 0x1FFF);  // frame length
  EXPECT_EQ(bits(h, 43, 11), 0x7FFu);            // buffer fullness: VBR
  EXPECT_EQ(bits(h, 54, 2), 0u);                 // one raw data block
}

TEST(Adts, KnownHeaderBytes) {
  uint8_t h[kAdtsHeaderBytes];
  write_adts_header(h, 8, 1, 300);
  const uint8_t want[] = {0xFF, 0xF9, 0x60, 0x40, 0x25, 0x9F, 0xFC};
  EXPECT_EQ(0, memcmp(h, want, sizeof(want)));
}

}  // namespace
}  // namespace soundtap
