// AudioPipe: the capture stream of the sound card, read in fixed chunks with overrun
// recovery; in AAC mode each chunk of 1024 samples is encoded into one ADTS frame.
#include "soundtap/audio_pipe.h"

#include <errno.h>
#include <sys/time.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "soundtap/alsa_time.h"
#include "soundtap/capture_params.h"
#include "soundtap/options.h"

namespace soundtap {
namespace {

struct CaptureState {
  snd_pcm_t* handle = nullptr;
  snd_pcm_format_t format = SND_PCM_FORMAT_S16_LE;
  unsigned channels = 1;
  int32_t rate = 0;
  unsigned bits_per_sample = 0;
  unsigned bits_per_frame = 0;
  int32_t bytes_per_frame = 2;
  uint8_t input[kAudioChunkBytes] = {};  // AAC mode: one frame of PCM for the encoder
  int32_t encoding = 0;
  AacEncoderConfig encoder;
  std::unique_ptr<uint8_t[]> work_memory;
  bool encoder_ready = false;
  const char* pcm_name = "default";
  const char* file_name = "/tmp/audio.fifo";
};
CaptureState Capture;
const AacEncoderApi* EncoderApi = nullptr;

const AacEncoderApi& encoder() {
  return EncoderApi ? *EncoderApi : vo_aac_encoder();
}

[[noreturn]] void fail(const char* message) {
  printf("%s", message);
  exit(1);
}

// A checked step failed: the diagnostic of a failed assertion, naming this module, then an
// abnormal end (kept in release builds too).
[[noreturn]] void check_failed(unsigned line) {
  fprintf(stderr, "%s: %s:%u: %s: Assertion `%s' failed.\n", program_invocation_short_name,
          "AudioPipe", line, "snd_pcm_uframes_t set_params(snd_pcm_t*, snd_pcm_stream_t)",
          "err >= 0");
  abort();
}
#define CHECK_ERR(err) \
  if (!((err) >= 0)) check_failed(__LINE__)

void setup_encoder(int32_t rate, int32_t bitrate) {
  AacEncoderConfig& c = Capture.encoder;
  c = AacEncoderConfig{};
  c.sample_rate = rate;
  c.core_sample_rate = rate;
  c.in_channels = 1;
  c.out_channels = 1;
  c.bit_rate = bitrate;
  c.option_crc = 0;
  c.option_header = 1;
  c.transport = 't';
  c.extension_mode = 0;
  c.in_buffer = Capture.input;
  Capture.work_memory.reset(new uint8_t[kAacWorkBytes]);
  c.work_memory = Capture.work_memory.get();
  c.work_bytes = kAacWorkBytes;
  Capture.encoder_ready = false;
  if (encoder().setup(&c) != kAacOk) {
    printf("aacenc_setup:ErrorStatus :%d \n", c.status);
  } else if (encoder().open(&c) != kAacOk) {
    printf("aacenc_open:ErrorStatus :%d \n", c.status);
    encoder().close(&c);
  } else {
    Capture.encoder_ready = true;
    return;
  }
  c.work_memory = nullptr;  // an encoder that failed is never called again
  Capture.work_memory.reset();
}

void release_encoder() {
  if (Capture.encoder_ready) encoder().close(&Capture.encoder);
  Capture.encoder_ready = false;
  Capture.encoder.work_memory = nullptr;
  Capture.work_memory.reset();
}

// Called on -EPIPE: reports the overrun and prepares the stream again.
void recover_overrun() {
  snd_pcm_status_t* status;
  snd_pcm_status_alloca(&status);
  int err = snd_pcm_status(Capture.handle, status);
  if (err < 0) {
    printf("status error: %s\n", snd_strerror(err));
    exit(1);
  }
  const snd_pcm_state_t state = snd_pcm_status_get_state(status);
  if (state == SND_PCM_STATE_XRUN) {
    struct timeval now, diff;
    gettimeofday(&now, nullptr);
    const struct timeval trigger = trigger_tstamp(status);
    timersub(&now, &trigger, &diff);
    fprintf(stderr, "%s!!! (at least %.3f ms long)\n", "overrun",
            diff.tv_sec * 1000 + diff.tv_usec / 1000.0);
    err = snd_pcm_prepare(Capture.handle);
    if (err < 0) {
      printf("xrun: prepare error: %s\n", snd_strerror(err));
      exit(1);
    }
    return;
  }
  if (state == SND_PCM_STATE_DRAINING) {
    printf("draining!!!\n");
    fprintf(stderr, "capture stream format change? attempting recover...\n");
    err = snd_pcm_prepare(Capture.handle);
    if (err < 0) {
      printf("xrun(DRAINING): prepare error: %s", snd_strerror(err));
      exit(1);
    }
    return;
  }
  exit(1);
}

// Reads exactly frames frames into data, waiting for short reads and recovering overruns.
size_t read_frames(uint8_t* data, size_t frames) {
  size_t got = 0;
  while (got < frames) {
    const snd_pcm_sframes_t r =
        snd_pcm_readi(Capture.handle, data + got * Capture.bytes_per_frame, frames - got);
    if (r == -EAGAIN || (r >= 0 && static_cast<size_t>(r) < frames - got)) {
      if (r > 0) got += static_cast<size_t>(r);
      snd_pcm_wait(Capture.handle, 1000);
    } else if (r == -EPIPE) {
      recover_overrun();
    } else if (r < 0) {
      printf("read error: %s", snd_strerror(static_cast<int>(r)));
      exit(1);
    } else {
      got += static_cast<size_t>(r);
    }
  }
  return got;
}

}  // namespace

snd_pcm_uframes_t set_params(snd_pcm_t* handle) {
  snd_pcm_hw_params_t* params;
  snd_pcm_sw_params_t* swparams;
  snd_pcm_hw_params_alloca(&params);
  snd_pcm_sw_params_alloca(&swparams);
  if (snd_pcm_hw_params_any(handle, params) < 0)
    fail("Broken configuration for this PCM: no configurations available");
  if (snd_pcm_hw_params_set_access(handle, params, SND_PCM_ACCESS_RW_INTERLEAVED) < 0)
    fail("Access type not available");
  printf("%s: %s\n", "Capture", Capture.file_name);
  printf("format = %s, channels = %d, rate = %d\n", snd_pcm_format_name(Capture.format),
         Capture.channels, Capture.rate);
  if (snd_pcm_hw_params_set_format(handle, params, Capture.format) < 0)
    fail("Sample format non available");
  if (snd_pcm_hw_params_set_channels(handle, params, Capture.channels) < 0)
    fail("Channels count non available");
  if (snd_pcm_hw_params_set_rate(handle, params, static_cast<unsigned>(Capture.rate), 0) < 0)
    fail("Rate non available");

  unsigned max_buffer_us = 0;
  int err = snd_pcm_hw_params_get_buffer_time_max(params, &max_buffer_us, nullptr);
  CHECK_ERR(err);
  BufferTimes times = choose_buffer_times(max_buffer_us);
  err = snd_pcm_hw_params_set_period_time_near(handle, params, &times.period_us, nullptr);
  CHECK_ERR(err);
  err = snd_pcm_hw_params_set_buffer_time_near(handle, params, &times.buffer_us, nullptr);
  CHECK_ERR(err);
  if (snd_pcm_hw_params(handle, params) < 0) fail("Unable to install hw params:");

  snd_pcm_uframes_t chunk_size = 0, buffer_size = 0;
  snd_pcm_hw_params_get_period_size(params, &chunk_size, nullptr);
  snd_pcm_hw_params_get_buffer_size(params, &buffer_size);
  if (chunk_size == buffer_size) {
    printf("Can't use period equal to buffer size (%lu == %lu)", chunk_size, buffer_size);
    exit(1);
  }

  snd_pcm_sw_params_current(handle, swparams);
  snd_pcm_sw_params_set_avail_min(handle, swparams, chunk_size);
  err = snd_pcm_sw_params_set_start_threshold(handle, swparams, 1);
  CHECK_ERR(err);
  err = snd_pcm_sw_params_set_stop_threshold(handle, swparams, buffer_size);
  CHECK_ERR(err);
  if (snd_pcm_sw_params(handle, swparams) < 0) fail("unable to install sw params:");

  Capture.bits_per_sample = static_cast<unsigned>(snd_pcm_format_physical_width(Capture.format));
  Capture.bits_per_frame = Capture.bits_per_sample * Capture.channels;
  Capture.bytes_per_frame = static_cast<int32_t>(Capture.bits_per_frame / 8);
  printf(
      "chunk_size = %d,chunk_bytes = %d,buffer_size = %d,bits_per_sample=%d,"
      "bits_per_frame=%d\n\n",
      static_cast<int>(chunk_size), static_cast<int>(chunk_size * Capture.bits_per_frame / 8),
      static_cast<int>(buffer_size), static_cast<int>(Capture.bits_per_sample),
      static_cast<int>(Capture.bits_per_frame));
  return chunk_size;
}

int audio_pipe_open(int32_t encoding, int32_t rate, int32_t bitrate) {
  Capture.format = encoding == kEncodingUlaw ? SND_PCM_FORMAT_MU_LAW : SND_PCM_FORMAT_S16_LE;
  Capture.encoding = encoding;
  Capture.rate = rate;
  Capture.channels = 1;
  Capture.file_name = "/tmp/audio.fifo";
  Capture.pcm_name = "default";
  printf("%s: opening pcm\n", "AudioPipe");
  fflush(stdout);
  const int err = snd_pcm_open(&Capture.handle, Capture.pcm_name, SND_PCM_STREAM_CAPTURE, 0);
  if (err < 0) {
    Capture.handle = nullptr;
    printf("audio open error: %s", snd_strerror(err));
    fflush(stdout);
    return 1;
  }
  printf("%s: set params\n", "AudioPipe");
  const snd_pcm_uframes_t chunk = set_params(Capture.handle);
  printf("%s: chunk size = %d\n", "AudioPipe", static_cast<int>(chunk));
  if (encoding == kEncodingAac) setup_encoder(rate, bitrate);
  fflush(stdout);
  return 0;
}

int audio_pipe_read(uint8_t* buffer, size_t max_bytes) {
  if (Capture.handle == nullptr) {
    // No device: nothing to deliver until the next open; don't spin the caller.
    struct timespec pause = {0, 100 * 1000 * 1000};
    nanosleep(&pause, nullptr);
    return 0;
  }
  const size_t bpf = static_cast<size_t>(Capture.bytes_per_frame);
  if (Capture.encoding != kEncodingAac) {
    const size_t frames = max_bytes / bpf;
    if (frames == 0) return 0;
    return static_cast<int>(read_frames(buffer, frames) * bpf);
  }
  const size_t frames = std::min(max_bytes, kAudioChunkBytes) / bpf;
  if (frames == 0) return 0;
  read_frames(Capture.input, frames);
  if (!Capture.encoder_ready) return 0;
  AacEncoderConfig& c = Capture.encoder;
  c.out_buffer = buffer;
  c.out_capacity = max_bytes;
  if (encoder().encode(&c) != kAacOk) return 0;
  return (c.out_bits + 7) / 8;
}

int audio_pipe_close() {
  if (Capture.handle != nullptr) snd_pcm_close(Capture.handle);
  Capture.handle = nullptr;
  if (Capture.encoding == kEncodingAac) release_encoder();
  return 0;
}

void set_aac_encoder_api(const AacEncoderApi* api) {
  EncoderApi = api;
}

}  // namespace soundtap
