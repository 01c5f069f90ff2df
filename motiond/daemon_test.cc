// motiond's loop against scripted frames, day/night states and write results, at scripted time:
// what it writes, logs and prints, and when.
#include "motiond/daemon.h"

#include <gtest/gtest.h>
#include <syslog.h>

#include <set>
#include <string>
#include <vector>

#include "imagelib/stats_layout.h"

namespace motiond {
namespace {

constexpr int64_t kStart = 1000;  // the clock at the first sample; samples are 200 ms apart

// The world of one run: samples 0 to `samples - 1`, a 3 x 2 patch of brighter tiles in samples
// [patch_from, patch_to), and everything the loop did as short strings.
class ScriptedEffects : public Effects {
 public:
  int samples = 30;
  int patch_from = -1, patch_to = -1;
  std::set<int> failed_reads;  // samples whose statistics cannot be read
  int failed_writes = 0;       // the first writes that fail
  int night_from = -1;         // "daynight" says night from this sample on
  int slow_sample = -1;        // this sample's read takes 700 ms

  std::vector<std::string> events;  // "write true", "write! false" (failed), "log6 motion", ...
  std::vector<int64_t> waits;

  int read_statistics(uint8_t*, uint8_t* cfa) override {
    if (sample_ == slow_sample) now_ += 700;
    if (failed_reads.count(sample_) != 0) return -1;
    cfa[imagelib::kHdrAeColumns] = kColumns;
    cfa[imagelib::kHdrAeRows] = kRows;
    const bool patch = sample_ >= patch_from && sample_ < patch_to;
    for (int i = 0; i < kTiles; ++i) {
      const bool in =
          i % kColumns >= 4 && i % kColumns < 7 && i / kColumns >= 3 && i / kColumns < 5;
      const int luma = patch && in ? 200 : 120;
      imagelib::put_le16(cfa + imagelib::kCfaAeOffset + i * imagelib::kAeTileBytes,
                         static_cast<uint16_t>(luma * 64 + i * 7 % 64));
    }
    return 0;
  }
  std::string day_night() override {
    return night_from >= 0 && sample_ >= night_from ? "night" : "day";
  }
  int write_motion(bool motion) override {
    const bool fails = writes_++ < failed_writes;
    events.push_back(std::string(fails ? "write! " : "write ") + (motion ? "true" : "false"));
    return fails ? -1 : 0;
  }
  void log(int priority, const std::string& text) override {
    events.push_back("log" + std::to_string(priority) + " " + text);
  }
  void print(const std::string& text) override { events.push_back("print " + text); }
  int64_t now_ms() override { return now_; }
  void wait_until_ms(int64_t when) override {
    waits.push_back(when);
    if (when > now_) now_ = when;
    ++sample_;
  }
  bool stop_requested() override { return sample_ >= samples; }

 private:
  int64_t now_ = kStart;
  int sample_ = 0;
  int writes_ = 0;
};

struct Case {
  const char* name;
  void (*script)(ScriptedEffects&);
  std::vector<std::string> events;
};

// The first five samples (1 s) only learn the scene; on and off delays are 200 ms and 2 s.
const Case kCases[] = {
    {"a still scene writes false once", [](ScriptedEffects&) {}, {"write false"}},
    {"a patch for a second is one episode",
     [](ScriptedEffects& fx) { fx.patch_from = 10, fx.patch_to = 15; },
     {"write false", "log6 motion", "print motion true at 3200 ms\n", "write true",
      "log6 no motion", "print motion false at 6000 ms\n", "write false"}},
    {"motion at the stop is taken back",
     [](ScriptedEffects& fx) { fx.patch_from = 10, fx.patch_to = 30; },
     {"write false", "log6 motion", "print motion true at 3200 ms\n", "write true", "write false"}},
    {"a failed write is logged once and retried every sample",
     [](ScriptedEffects& fx) { fx.failed_writes = 3, fx.samples = 3; },
     {"write! false", "log4 cannot write the motion state false", "write! false", "write! false",
      "write false"}},
    {"failed readings are logged once and change nothing",
     [](ScriptedEffects& fx) {
       fx.failed_reads = {0, 1, 2, 8, 9};
       fx.samples = 12;
     },
     {"write false", "log5 get stats failed", "log5 get stats failed"}},
    {"a day/night switch quiets the detector",
     [](ScriptedEffects& fx) { fx.night_from = 10, fx.patch_from = 10, fx.patch_to = 30; },
     {"write false"}},
};

TEST(MotiondLoop, Scripts) {
  for (const Case& c : kCases) {
    ScriptedEffects fx;
    c.script(fx);
    Options options;
    options.verbose = 1;
    run(options, fx);
    EXPECT_EQ(fx.events, c.events) << c.name;
    EXPECT_EQ(fx.waits.size(), static_cast<size_t>(fx.samples)) << c.name;
  }
}

// The samples keep to the rate; one that falls behind starts a new beat instead of a burst.
TEST(MotiondLoop, PacesSamplesAndSkipsMissedBeats) {
  ScriptedEffects fx;
  fx.samples = 6;
  fx.slow_sample = 2;
  Options options;
  options.rate = 5;
  run(options, fx);
  const std::vector<int64_t> expected = {1200, 1400, 1600, 2300, 2500, 2700};
  EXPECT_EQ(fx.waits, expected);
}

}  // namespace
}  // namespace motiond
