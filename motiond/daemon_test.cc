// motiond's loop against scripted frames, day/night states, write results and time (samples
// 200 ms apart from 1000 ms): what it writes, logs and prints, and when.
#include "motiond/daemon.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "imagelib/stats_layout.h"

namespace motiond {
namespace {

// A still scene with a 3 x 2 patch of brighter tiles in samples [patch_from, patch_to), moving
// a column a sample between columns 2 and 7 (one that holds still is a step, not motion);
// everything the loop does, as short strings ("write true", "write! false" when it fails).
struct Script : Effects {
  int samples = 30, patch_from = -1, patch_to = -1, night_from = -1, slow_sample = -1;
  int failed_writes = 0, sample = 0, writes = 0;  // the first writes that fail
  std::set<int> failed_reads;                     // samples whose statistics cannot be read
  std::vector<std::string> events;
  std::vector<int64_t> waits;
  int64_t now = 1000;

  int read_statistics(uint8_t*, uint8_t* cfa) override {
    if (sample == slow_sample) now += 700;
    if (failed_reads.count(sample) != 0) return -1;
    cfa[imagelib::kHdrAeColumns] = kColumns;
    cfa[imagelib::kHdrAeRows] = kRows;
    const int left = 2 + std::abs((sample - patch_from) % 10 - 5);
    for (int i = 0; i < kTiles; ++i) {
      const int c = i % kColumns, r = i / kColumns;
      const bool lit =
          sample >= patch_from && sample < patch_to && c >= left && c < left + 3 && r >= 3 && r < 5;
      imagelib::put_le16(cfa + imagelib::kCfaAeOffset + i * imagelib::kAeTileBytes,
                         static_cast<uint16_t>((lit ? 200 : 120) * 64 + i * 7 % 64));
    }
    return 0;
  }
  std::string day_night() override {
    return night_from >= 0 && sample >= night_from ? "night" : "day";
  }
  int write_motion(bool motion) override {
    const bool fails = writes++ < failed_writes;
    events.push_back(std::string(fails ? "write! " : "write ") + (motion ? "true" : "false"));
    return fails ? -1 : 0;
  }
  void log(int priority, const std::string& text) override {
    events.push_back("log" + std::to_string(priority) + " " + text);
  }
  void print(const std::string& text) override { events.push_back("print " + text); }
  int64_t now_ms() override { return now; }
  void wait_until_ms(int64_t when) override {
    waits.push_back(when);
    if (when > now) now = when;
    ++sample;
  }
  bool stop_requested() override { return sample >= samples; }
};

// The first second only learns the scene; a group is motion once followed over two samples
// (found at 3200 ms, its tiles standing out since 3000), the off delay is 2 s.
TEST(MotiondLoop, Scripts) {
  const struct {
    void (*script)(Script&);
    std::vector<std::string> events;
  } cases[] = {
      // A still scene; a sample that falls behind starts a new beat instead of a burst.
      {[](Script& s) { s.slow_sample = 2; }, {"write false"}},
      {[](Script& s) { s.patch_from = 10, s.patch_to = 15; },
       {"write false", "log6 motion", "print motion true at 3400 ms\n", "write true",
        "log6 no motion", "print motion false at 6000 ms\n", "write false"}},
      // Motion at the stop is taken back.
      {[](Script& s) { s.patch_from = 10, s.patch_to = 30; },
       {"write false", "log6 motion", "print motion true at 3400 ms\n", "write true",
        "write false"}},
      // A failed write is logged once and retried every sample.
      {[](Script& s) { s.failed_writes = 3, s.samples = 3; },
       {"write! false", "log4 cannot write the motion state false", "write! false", "write! false",
        "write false"}},
      // Failed readings are logged once a run and change nothing.
      {[](Script& s) {
         s.failed_reads = {0, 1, 2, 8, 9};
       },
       {"write false", "log5 get stats failed", "log5 get stats failed"}},
      // A day/night switch quiets the detector while the filter moves.
      {[](Script& s) { s.night_from = 10, s.patch_from = 10, s.patch_to = 30; }, {"write false"}},
  };
  for (const auto& c : cases) {
    Script fx;
    c.script(fx);
    Options options;
    options.verbose = 1;
    run(options, fx);
    EXPECT_EQ(fx.events, c.events) << &c - cases;
    // One wait a sample, 200 ms apart; the slow sample's 700 ms move the later beats.
    EXPECT_EQ(fx.waits.size(), static_cast<size_t>(fx.samples)) << &c - cases;
    EXPECT_EQ(fx.waits.back(), 1000 + 200 * fx.samples + (fx.slow_sample < 0 ? 0 : 500));
  }
}

}  // namespace
}  // namespace motiond
