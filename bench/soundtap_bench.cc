// bench-libs: soundtap_lib
// soundtap's cost per second of audio: capture through ALSA (the file plugin over a null
// device, reading a minute of tone) and distribution to consumer pipes, in u-law with six
// consumers and in AAC at 48 kHz, and the AAC encoder alone as a multiple of real time.
// "audio_s" is seconds of audio handled per CPU second (the real-time multiple).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "soundtap/aacenc/aac_encoder.h"
#include "soundtap/audio_pipe.h"
#include "soundtap/audio_stream.h"
#include "soundtap/audio_thread.h"
#include "soundtap/options.h"

namespace soundtap {
namespace {

constexpr int kRate = 48000;
constexpr int kSeconds = 60;

std::vector<int16_t> Tone(int samples) {
  std::vector<int16_t> v(samples);
  for (int i = 0; i < samples; ++i)
    v[i] = static_cast<int16_t>(8000 * sin(2 * M_PI * 1000.0 * i / kRate));
  return v;
}

// "default" reads path raw (no conversion): the card delivers the file's bytes.
void UseCard(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::string conf = path + ".conf";
  std::ofstream(conf)
      << "pcm.default { type file slave.pcm { type null } file \"/dev/null\" infile \"" << path
      << "\" format \"raw\" }\n";
  setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
  snd_config_update_free_global();
}

struct Consumers {
  std::vector<int> read_ends;
  explicit Consumers(int n) {
    reset_audio_stream();
    std::lock_guard<std::mutex> lock(ConsumerLock);
    for (int i = 0; i < n; ++i) {
      int p[2];
      if (pipe2(p, O_NONBLOCK) != 0) abort();
      fcntl(p[1], F_SETPIPE_SZ, 1 << 20);
      read_ends.push_back(p[0]);
      fill_slot(i, p[1], "/tmp/soundtap/bench");
    }
  }
  void Drain() {
    static uint8_t sink[1 << 16];
    for (int fd : read_ends)
      while (read(fd, sink, sizeof(sink)) > 0) {
      }
  }
  ~Consumers() {
    for (int fd : read_ends) close(fd);
    std::lock_guard<std::mutex> lock(ConsumerLock);
    for (ConsumerSlot& s : Stream.slots)
      if (s.fd > 0) close(s.fd);
    Stream.count = 0;
  }
};

void RunCapture(benchmark::State& state, int encoding, int consumers, int samples_per_chunk) {
  const std::vector<int16_t> tone = Tone(kRate * kSeconds);
  std::vector<uint8_t> bytes;
  if (encoding == kEncodingUlaw) {
    bytes.assign(tone.size(), 0);  // u-law bytes of a tone are as costly as any others
    for (size_t i = 0; i < tone.size(); ++i) bytes[i] = static_cast<uint8_t>(tone[i] >> 8);
  } else {
    const auto* p = reinterpret_cast<const uint8_t*>(tone.data());
    bytes.assign(p, p + tone.size() * 2);
  }
  UseCard("/tmp/soundtap_bench.raw", bytes);
  Consumers sinks(consumers);
  if (audio_pipe_open(encoding, kRate, 128000) != 0) state.SkipWithError("no card");
  uint8_t chunk[kAudioChunkBytes];
  int64_t chunks = 0;
  for (auto _ : state) {
    const int n = audio_pipe_read(chunk, sizeof(chunk));
    if (n <= 0) state.SkipWithError("no data");
    distribute_chunk(chunk, n);
    if (++chunks % 256 == 0) {
      state.PauseTiming();
      sinks.Drain();
      state.ResumeTiming();
    }
  }
  audio_pipe_close();
  state.counters["audio_s"] = benchmark::Counter(
      static_cast<double>(chunks) * samples_per_chunk / kRate, benchmark::Counter::kIsRate);
}

void BM_UlawSixConsumers(benchmark::State& state) {
  RunCapture(state, kEncodingUlaw, 6, 2048);
}
// A minute of audio: 1406 chunks of 2048 u-law samples, 2812 AAC frames of 1024.
BENCHMARK(BM_UlawSixConsumers)->Iterations(1400)->Unit(benchmark::kMicrosecond);

void BM_Aac48kOneConsumer(benchmark::State& state) {
  RunCapture(state, kEncodingAac, 1, 1024);
}
BENCHMARK(BM_Aac48kOneConsumer)->Iterations(2800)->Unit(benchmark::kMicrosecond);

void BM_AacEncoderAlone(benchmark::State& state) {
  const std::vector<int16_t> tone = Tone(kRate);
  std::vector<uint8_t> work(kAacWorkBytes), out(kAudioChunkBytes);
  AacEncoderConfig c;
  c.sample_rate = c.core_sample_rate = kRate;
  c.in_channels = c.out_channels = 1;
  c.bit_rate = static_cast<int32_t>(state.range(0));
  c.option_header = 1;
  c.transport = 't';
  c.out_buffer = out.data();
  c.out_capacity = out.size();
  c.work_memory = work.data();
  c.work_bytes = work.size();
  if (vo_aac_encoder().setup(&c) != kAacOk || vo_aac_encoder().open(&c) != kAacOk) {
    state.SkipWithError("encoder");
    return;
  }
  size_t pos = 0;
  for (auto _ : state) {
    c.in_buffer = reinterpret_cast<const uint8_t*>(tone.data() + pos);
    pos = (pos + kAacFrameSamples) % (tone.size() - kAacFrameSamples);
    if (vo_aac_encoder().encode(&c) != kAacOk) state.SkipWithError("encode");
  }
  vo_aac_encoder().close(&c);
  state.counters["audio_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kAacFrameSamples / kRate,
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AacEncoderAlone)->Arg(64000)->Arg(128000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace soundtap

BENCHMARK_MAIN();
