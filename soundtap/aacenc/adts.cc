// The 7-byte ADTS header put in front of every AAC frame.
#include "soundtap/aacenc/adts.h"

namespace soundtap {
namespace {
constexpr int32_t kFrequencies[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                    22050, 16000, 12000, 11025, 8000,  7350};
constexpr int kProfileLc = 1;                // audio object type 2, minus one
constexpr unsigned kBufferFullness = 0x7FF;  // variable bit rate
}  // namespace

int adts_frequency_index(int32_t sample_rate) {
  for (size_t i = 0; i < sizeof(kFrequencies) / sizeof(kFrequencies[0]); ++i) {
    if (kFrequencies[i] == sample_rate) return static_cast<int>(i);
  }
  return -1;
}

void write_adts_header(uint8_t* out, int frequency_index, int channels, size_t frame_bytes) {
  const unsigned len = static_cast<unsigned>(frame_bytes) & 0x1FFF;
  const unsigned ch = static_cast<unsigned>(channels) & 7;
  out[0] = 0xFF;                 // sync word 0xFFF ...
  out[1] = 0xF0 | (1 << 3) | 1;  // ... MPEG-2, layer 0, protection absent
  out[2] = static_cast<uint8_t>((kProfileLc << 6) | ((frequency_index & 0xF) << 2) | (ch >> 2));
  out[3] = static_cast<uint8_t>(((ch & 3) << 6) | (len >> 11));
  out[4] = static_cast<uint8_t>((len >> 3) & 0xFF);
  out[5] = static_cast<uint8_t>(((len & 7) << 5) | (kBufferFullness >> 6));
  out[6] = static_cast<uint8_t>(((kBufferFullness & 0x3F) << 2) | 0);  // one raw data block
}

}  // namespace soundtap
