// The AAC encoder on the VisualOn library: its memory requests are served from the work
// block handed over in the configuration, and every frame gets soundtap's ADTS header.
#include "soundtap/aacenc/aac_encoder.h"

#include <vo-aacenc/cmnMemory.h>
#include <vo-aacenc/voAAC.h>

#include <cstring>

#include "soundtap/aacenc/adts.h"

namespace soundtap {
namespace {

// The library's allocator has no context argument: one work block serves the one encoder
// of the process. It is handed out front to back and given back whole at the next set-up.
struct WorkArena {
  uint8_t* base = nullptr;
  size_t size = 0;
  size_t used = 0;
};
WorkArena Arena;

constexpr size_t kArenaAlign = 16;

VO_U32 VO_API arena_alloc(VO_S32, VO_MEM_INFO* info) {
  info->VBuffer = nullptr;
  if (info->Size < 0) return VO_ERR_INVALID_ARG;
  const size_t start = (Arena.used + kArenaAlign - 1) & ~(kArenaAlign - 1);
  const size_t size = static_cast<size_t>(info->Size);
  if (Arena.base == nullptr || start > Arena.size || size > Arena.size - start) {
    return VO_ERR_OUTOF_MEMORY;
  }
  Arena.used = start + size;
  memset(Arena.base + start, 0, size);
  info->VBuffer = Arena.base + start;
  return VO_ERR_NONE;
}

VO_U32 VO_API arena_free(VO_S32, VO_PTR) {
  return VO_ERR_NONE;
}

VO_MEM_OPERATOR MemoryOperator = {arena_alloc, arena_free,    cmnMemSet, cmnMemCopy,
                                  cmnMemCheck, cmnMemCompare, cmnMemMove};

VO_AUDIO_CODECAPI& core_api() {
  static VO_AUDIO_CODECAPI api = [] {
    VO_AUDIO_CODECAPI a{};
    voGetAACEncAPI(&a);
    return a;
  }();
  return api;
}

int32_t encoder_setup(AacEncoderConfig* c) {
  c->reconfigure = 0;
  c->requested_bit_rate = c->bit_rate;
  c->out_bits = 0;
  c->core = nullptr;
  c->status = kAacOk;
  if (c->work_memory == nullptr || c->work_bytes < kAacWorkBytes) {
    c->status = kAacNoMemory;
  } else if (adts_frequency_index(c->sample_rate) < 0 || c->in_channels != 1 ||
             c->out_channels != 1 || c->transport != 't' || c->extension_mode != 0 ||
             c->option_crc != 0 || c->option_header != 1) {
    c->status = kAacUnsupported;
  }
  if (c->status == kAacOk) Arena = WorkArena{c->work_memory, c->work_bytes, 0};
  return c->status;
}

int32_t encoder_open(AacEncoderConfig* c) {
  if (c->status != kAacOk) return c->status;
  VO_CODEC_INIT_USERDATA user{VO_IMF_USERMEMOPERATOR, &MemoryOperator, 0, 0};
  VO_HANDLE handle = nullptr;
  if (core_api().Init(&handle, VO_AUDIO_CodingAAC, &user) != VO_ERR_NONE) {
    c->status = Arena.used >= Arena.size ? kAacNoMemory : kAacOpenFailed;
    return c->status;
  }
  AACENC_PARAM param{c->core_sample_rate, c->bit_rate, static_cast<short>(c->in_channels), 0};
  if (core_api().SetParam(handle, VO_PID_AAC_ENCPARAM, &param) != VO_ERR_NONE) {
    core_api().Uninit(handle);
    c->status = kAacOpenFailed;
    return c->status;
  }
  c->core = handle;
  return c->status;
}

int32_t encoder_encode(AacEncoderConfig* c) {
  c->out_bits = 0;
  if (c->core == nullptr || c->out_capacity <= kAdtsHeaderBytes) {
    c->status = kAacEncodeFailed;
    return c->status;
  }
  VO_CODECBUFFER in{const_cast<VO_PBYTE>(c->in_buffer), kAacFrameSamples * 2, 0};
  VO_CODECBUFFER out{c->out_buffer + kAdtsHeaderBytes,
                     static_cast<VO_U32>(c->out_capacity - kAdtsHeaderBytes), 0};
  VO_AUDIO_OUTPUTINFO info{};
  if (core_api().SetInputData(c->core, &in) != VO_ERR_NONE ||
      core_api().GetOutputData(c->core, &out, &info) != VO_ERR_NONE || out.Length == 0) {
    c->status = kAacEncodeFailed;
    return c->status;
  }
  const size_t frame = kAdtsHeaderBytes + out.Length;
  write_adts_header(c->out_buffer, adts_frequency_index(c->sample_rate), c->out_channels, frame);
  c->out_bits = static_cast<int32_t>(frame * 8);
  c->status = kAacOk;
  return c->status;
}

void encoder_close(AacEncoderConfig* c) {
  if (c->core != nullptr) core_api().Uninit(c->core);
  c->core = nullptr;
  Arena = WorkArena{};
}

}  // namespace

const AacEncoderApi& vo_aac_encoder() {
  static const AacEncoderApi api{encoder_setup, encoder_open, encoder_encode, encoder_close};
  return api;
}

}  // namespace soundtap
