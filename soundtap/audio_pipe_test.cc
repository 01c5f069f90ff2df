// AudioPipe against ALSA's own "file" plugin: "default" is defined by a configuration
// written here, reading a raw file of known samples.
#include "soundtap/audio_pipe.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "soundtap/options.h"

namespace soundtap {
namespace {

class AudioPipeTest : public testing::Test {
 protected:
  void SetUp() override {
    char dir_template[] = "/tmp/audio_pipe_test.XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    dir_ = dir_template;
  }
  void TearDown() override {
    audio_pipe_close();
    set_aac_encoder_api(nullptr);
    std::remove((dir_ + "/in.raw").c_str());
    std::remove((dir_ + "/asound.conf").c_str());
    rmdir(dir_.c_str());
  }

  // "default" reads the file through a plug (so ALSA converts to the wanted format).
  void UseDevice(const std::vector<int16_t>& samples, bool missing_file = false) {
    std::ofstream(dir_ + "/in.raw", std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
    std::ofstream conf(dir_ + "/asound.conf");
    conf << "pcm.default { type plug slave { pcm { type file slave.pcm { type null } "
         << "file \"/dev/null\" infile \"" << dir_ << (missing_file ? "/none" : "/in.raw")
         << "\" format \"raw\" } format S16_LE } }\n";
    conf.close();
    setenv("ALSA_CONFIG_PATH", (dir_ + "/asound.conf").c_str(), 1);
    snd_config_update_free_global();
  }

  // "default" is the clock-paced capture device, with options narrowing what it offers.
  void UsePacedDevice(const std::string& options) {
    std::ofstream conf(dir_ + "/asound.conf");
    conf << "pcm_type.pacedcap { lib \"" << PACED_CAPTURE_PLUGIN << "\" }\n"
         << "pcm.default { type pacedcap " << options << " }\n";
    conf.close();
    setenv("ALSA_CONFIG_PATH", (dir_ + "/asound.conf").c_str(), 1);
    snd_config_update_free_global();
  }

  std::string dir_;
};

uint16_t sample_at(const uint8_t* chunk, size_t i) {
  uint16_t v;
  memcpy(&v, chunk + 2 * i, 2);
  return v;
}

std::vector<int16_t> ramp(size_t n) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>(i * 7 - 3000);
  return v;
}

TEST_F(AudioPipeTest, PcmChunksAreTheDeviceSamplesInOrder) {
  const std::vector<int16_t> in = ramp(4096);
  UseDevice(in);
  ASSERT_EQ(audio_pipe_open(kEncodingPcm, 48000, 128000), 0);
  uint8_t chunk[kAudioChunkBytes];
  for (size_t c = 0; c < 4; ++c) {
    ASSERT_EQ(audio_pipe_read(chunk, sizeof(chunk)), 2048);
    EXPECT_EQ(0, memcmp(chunk, in.data() + c * 1024, 2048)) << c;
  }
  EXPECT_EQ(audio_pipe_read(chunk, 1), 0);  // less than one frame
}

TEST_F(AudioPipeTest, UlawChunksAreG711OfTheSamples) {
  // Known G.711 mu-law codes of 16-bit linear values.
  const std::vector<std::pair<int16_t, uint8_t>> known = {
      {0, 0xFF},    {100, 0xF2},   {-100, 0x72},  {1000, 0xCE},  {-1000, 0x4E},
      {8000, 0xA0}, {-8000, 0x20}, {32767, 0x80}, {-32768, 0x00}};
  std::vector<int16_t> in(2048);
  for (size_t i = 0; i < in.size(); ++i) in[i] = known[i % known.size()].first;
  UseDevice(in);
  ASSERT_EQ(audio_pipe_open(kEncodingUlaw, 48000, 128000), 0);
  uint8_t chunk[kAudioChunkBytes];
  ASSERT_EQ(audio_pipe_read(chunk, sizeof(chunk)), 2048);  // 2048 samples of one byte
  for (size_t i = 0; i < in.size(); ++i) {
    ASSERT_EQ(chunk[i], known[i % known.size()].second) << in[i];
  }
}

TEST_F(AudioPipeTest, DeviceThatCannotOpenReadsNothingUntilTheNextOpen) {
  UseDevice(ramp(2048), /*missing_file=*/true);
  EXPECT_EQ(audio_pipe_open(kEncodingUlaw, 48000, 128000), 1);
  uint8_t chunk[kAudioChunkBytes];
  EXPECT_EQ(audio_pipe_read(chunk, sizeof(chunk)), 0);
  EXPECT_EQ(audio_pipe_close(), 0);
  const std::vector<int16_t> in = ramp(2048);
  UseDevice(in);
  ASSERT_EQ(audio_pipe_open(kEncodingPcm, 48000, 128000), 0);
  ASSERT_EQ(audio_pipe_read(chunk, sizeof(chunk)), 2048);
  EXPECT_EQ(0, memcmp(chunk, in.data(), 2048));
}

// A stand-in encoder that counts its calls and can fail set-up or open.
struct FakeEncoder {
  static inline int setups, opens, encodes, closes;
  static inline int32_t setup_status, open_status;
  static inline std::vector<int16_t> last_input;
  static int32_t Setup(AacEncoderConfig* c) {
    ++setups;
    EXPECT_EQ(c->work_bytes, kAacWorkBytes);
    EXPECT_EQ(c->transport, 't');
    return c->status = setup_status;
  }
  static int32_t Open(AacEncoderConfig* c) {
    ++opens;
    return c->status = open_status;
  }
  static int32_t Encode(AacEncoderConfig* c) {
    ++encodes;
    const auto* s = reinterpret_cast<const int16_t*>(c->in_buffer);
    last_input.assign(s, s + kAacFrameSamples);
    c->out_buffer[0] = 0xAB;
    c->out_bits = 13;  // two bytes, rounded up
    return c->status = kAacOk;
  }
  static void Close(AacEncoderConfig*) { ++closes; }
  static void Reset(int32_t setup, int32_t open) {
    setups = opens = encodes = closes = 0;
    setup_status = setup;
    open_status = open;
  }
};
const AacEncoderApi kFake{FakeEncoder::Setup, FakeEncoder::Open, FakeEncoder::Encode,
                          FakeEncoder::Close};

TEST_F(AudioPipeTest, AacEncodesEach1024SamplesAndRoundsBitsUp) {
  const std::vector<int16_t> in = ramp(4096);
  UseDevice(in);
  FakeEncoder::Reset(kAacOk, kAacOk);
  set_aac_encoder_api(&kFake);
  ASSERT_EQ(audio_pipe_open(kEncodingAac, 48000, 96000), 0);
  EXPECT_EQ(FakeEncoder::setups, 1);
  EXPECT_EQ(FakeEncoder::opens, 1);
  uint8_t chunk[kAudioChunkBytes];
  ASSERT_EQ(audio_pipe_read(chunk, sizeof(chunk)), 2);
  EXPECT_EQ(chunk[0], 0xAB);
  ASSERT_EQ(audio_pipe_read(chunk, sizeof(chunk)), 2);
  EXPECT_EQ(FakeEncoder::last_input, std::vector<int16_t>(in.begin() + 1024, in.begin() + 2048));
  audio_pipe_close();
  EXPECT_EQ(FakeEncoder::closes, 1);
}

TEST_F(AudioPipeTest, EncoderThatFailedIsNeverCalled) {
  for (int fail_open = 0; fail_open < 2; ++fail_open) {
    UseDevice(ramp(4096));
    FakeEncoder::Reset(fail_open ? kAacOk : kAacNoMemory, fail_open ? kAacOpenFailed : kAacOk);
    set_aac_encoder_api(&kFake);
    testing::internal::CaptureStdout();
    ASSERT_EQ(audio_pipe_open(kEncodingAac, 48000, 128000), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(FakeEncoder::opens, fail_open);  // open only after a good set-up
    if (!fail_open) {
      EXPECT_NE(out.find("aacenc_setup:ErrorStatus :7 \n"), std::string::npos);
    }
    uint8_t chunk[kAudioChunkBytes];
    EXPECT_EQ(audio_pipe_read(chunk, sizeof(chunk)), 0);
    EXPECT_EQ(FakeEncoder::encodes, 0);
    audio_pipe_close();
  }
}

TEST_F(AudioPipeTest, OverrunIsReportedAndCaptureGoesOn) {
  UsePacedDevice("");
  ASSERT_EQ(audio_pipe_open(kEncodingPcm, 48000, 128000), 0);
  uint8_t chunk[kAudioChunkBytes];
  ASSERT_EQ(audio_pipe_read(chunk, sizeof(chunk)), 2048);  // waits for the clock
  EXPECT_EQ(sample_at(chunk, 0), 0);
  EXPECT_EQ(sample_at(chunk, 1023), 1023);
  // The device holds at most 170 ms at 48 kHz: a reader away for 400 ms overruns it.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  testing::internal::CaptureStderr();
  ASSERT_EQ(audio_pipe_read(chunk, sizeof(chunk)), 2048);
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(err.rfind("overrun!!! (at least ", 0), 0u) << err;
  // The length is measured from the device's trigger time stamp: at least the 400 ms away.
  const double ms = std::strtod(err.c_str() + strlen("overrun!!! (at least "), nullptr);
  EXPECT_GE(ms, 300.0) << err;
  EXPECT_LT(ms, 60000.0) << err;
  EXPECT_EQ(sample_at(chunk, 0), 1024);  // capture prepared again and delivering
  EXPECT_EQ(sample_at(chunk, 1023), 2047);
}

// Each refused parameter step ends the daemon with its message (on standard output).
TEST_F(AudioPipeTest, RefusedParametersEndTheProcess) {
  const struct {
    const char* options;
    int32_t encoding;
    const char* message;
  } cases[] = {
      {"", kEncodingUlaw, "Sample format non available"},
      {"rate 8000", kEncodingPcm, "Rate non available"},
      {"periods 1 buffer_bytes 4096", kEncodingPcm,
       "Can't use period equal to buffer size \\(2048 == 2048\\)"},
  };
  for (const auto& c : cases) {
    UsePacedDevice(c.options);
    EXPECT_EXIT(
        {
          dup2(2, 1);
          audio_pipe_open(c.encoding, 48000, 128000);
        },
        testing::ExitedWithCode(1), c.message)
        << c.options;
  }
}

// A buffer time the device cannot take is a failed check: the assertion's text and an abort.
TEST_F(AudioPipeTest, BufferTimeTheDeviceRefusesAborts) {
  UsePacedDevice("periods 1");  // a device of one period refuses the period time asked for
  EXPECT_DEATH(audio_pipe_open(kEncodingPcm, 48000, 128000),
               "AudioPipe:[0-9]+: snd_pcm_uframes_t set_params\\(snd_pcm_t\\*, "
               "snd_pcm_stream_t\\): Assertion `err >= 0' failed.");
}

}  // namespace
}  // namespace soundtap
