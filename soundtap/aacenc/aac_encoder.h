// The AAC encoder soundtap drives through one configuration block: set-up (partition the
// work memory, check limits), open (start the core encoder), encode (1024 mono samples to
// one ADTS frame). The calls are reached through AacEncoderApi so tests can stand in.
#ifndef SOUNDTAP_AACENC_AAC_ENCODER_H_
#define SOUNDTAP_AACENC_AAC_ENCODER_H_

#include <cstddef>
#include <cstdint>

namespace soundtap {

constexpr size_t kAacWorkBytes = 106000;  // all encoder state lives in this block
constexpr int kAacFrameSamples = 1024;

// Status values of the block.
constexpr int32_t kAacOk = 0;
constexpr int32_t kAacUnsupported = 1;   // rate, channels, transport or mode not supported
constexpr int32_t kAacOpenFailed = 2;    // the core encoder refused the configuration
constexpr int32_t kAacEncodeFailed = 3;  // a frame could not be produced
constexpr int32_t kAacNoMemory = 7;      // needs more work memory than given

struct AacEncoderConfig {
  int32_t sample_rate = 0;
  int32_t core_sample_rate = 0;
  int32_t in_channels = 0;
  int32_t out_channels = 0;
  int32_t bit_rate = 0;
  int32_t reconfigure = 0;
  int32_t requested_bit_rate = 0;
  int32_t option_crc = 0;      // 1 would ask for ADTS CRCs; only 0 is supported
  int32_t option_header = 0;   // 1: every frame carries its ADTS header
  char transport = 0;          // 't': ADTS
  int32_t extension_mode = 0;  // 0: plain AAC LC (no SBR, no parametric stereo)
  int32_t status = 0;
  int32_t out_bits = 0;  // size of the last frame
  uint8_t* out_buffer = nullptr;
  size_t out_capacity = 0;
  const uint8_t* in_buffer = nullptr;  // kAacFrameSamples 16-bit samples
  uint8_t* work_memory = nullptr;
  size_t work_bytes = 0;
  void* core = nullptr;  // the core encoder, inside work_memory
};

struct AacEncoderApi {
  int32_t (*setup)(AacEncoderConfig* config);
  int32_t (*open)(AacEncoderConfig* config);
  int32_t (*encode)(AacEncoderConfig* config);
  void (*close)(AacEncoderConfig* config);  // before the work memory is released
};

// The encoder built on the VisualOn AAC library.
const AacEncoderApi& vo_aac_encoder();

}  // namespace soundtap

#endif  // SOUNDTAP_AACENC_AAC_ENCODER_H_
