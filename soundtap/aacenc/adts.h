// The 7-byte ADTS header put in front of every AAC frame: MPEG-2, no CRC, AAC LC, one raw
// data block per frame.
#ifndef SOUNDTAP_AACENC_ADTS_H_
#define SOUNDTAP_AACENC_ADTS_H_

#include <cstddef>
#include <cstdint>

namespace soundtap {

constexpr size_t kAdtsHeaderBytes = 7;

// Index of sample_rate in the ADTS sampling-frequency table, or -1.
int adts_frequency_index(int32_t sample_rate);

// Writes the header of a frame of frame_bytes bytes (header included) into out.
void write_adts_header(uint8_t* out, int frequency_index, int channels, size_t frame_bytes);

}  // namespace soundtap

#endif  // SOUNDTAP_AACENC_ADTS_H_
