// irswitchd's start-up, forced modes and loop against scripted readings and recorded effects.
#include "irswitchd/daemon.h"

#include <gtest/gtest.h>
#include <syslog.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "imagelib/setup.h"
#include "imagelib/stats_layout.h"

namespace irswitchd {
namespace {

// Everything the daemon does, in order, as short strings: "sh irday", "pic 1", "log6 ...".
class RecordedEffects : public Effects {
 public:
  explicit RecordedEffects(std::vector<int> averages)
      : averages_(averages.begin(), averages.end()) {}
  void shell(const char* command) override {
    const std::string c = command;
    events.push_back("sh " + c.substr(c.rfind(' ') + 1));
  }
  void picture(int monochrome) override { events.push_back("pic " + std::to_string(monochrome)); }
  void announce(const char* mode) override { announced.push_back(mode); }
  int read_statistics(uint8_t*, uint8_t* cfa) override {
    const int average = averages_.front();
    averages_.pop_front();
    if (average < 0) return -1;
    for (int i = 0; i < 96; ++i) {
      imagelib::put_le16(cfa + imagelib::kCfaAeOffset + i * 6, static_cast<uint16_t>(average * 64));
    }
    return 0;
  }
  void open_log() override { events.push_back("openlog"); }
  void log(int priority, const std::string& text) override {
    events.push_back("log" + std::to_string(priority) + " " + text);
  }
  void print(const std::string& text) override { printed.push_back(text); }
  void sleep_second() override { ++sleeps; }
  bool stop_requested() override {
    return averages_.empty() || (tick_limit >= 0 && sleeps >= tick_limit);
  }
  // The scripted modes, one per call (the last one lasts); auto when there is none.
  ForcedMode forced_mode() override {
    if (modes.empty()) return ForcedMode::kAuto;
    return modes[std::min(mode_calls++, modes.size() - 1)];
  }

  std::vector<ForcedMode> modes;
  std::size_t mode_calls = 0;
  int tick_limit = -1;
  std::vector<std::string> events;
  std::vector<std::string> announced;  // the "daynight" states written
  std::vector<std::string> printed;
  int sleeps = 0;

 private:
  std::deque<int> averages_;
};

std::vector<int> repeat(int value, int n) {
  return std::vector<int>(n, value);
}

Options defaults() {
  return Options{};
}

TEST(Irswitchd, StartsInDayAndSwitchesToNightOnTheEighthDarkReading) {
  RecordedEffects fx(repeat(9, 8));
  run(defaults(), fx);
  const std::vector<std::string> expected = {
      "sh irday",   "pic 0",
      "openlog",    "log6 lum 9 < night thresh 10 for 8 counts, switching to night mode\n",
      "sh irnight", "pic 1"};
  EXPECT_EQ(fx.events, expected);
  EXPECT_EQ(fx.announced, (std::vector<std::string>{"day", "night"}));
  EXPECT_EQ(fx.sleeps, 8);
  EXPECT_TRUE(fx.printed.empty());
}

TEST(Irswitchd, NightColourSendsColour) {
  Options o = defaults();
  o.night_colour = true;
  RecordedEffects fx(repeat(2, 8));
  run(o, fx);
  EXPECT_EQ(fx.events.back(), "pic 0");
  EXPECT_EQ(fx.events[fx.events.size() - 2], "sh irnight");
}

TEST(Irswitchd, BackToDayAfterEightBrightReadings) {
  std::vector<int> avgs = repeat(0, 8);
  for (int v : repeat(21, 8)) avgs.push_back(v);
  RecordedEffects fx(avgs);
  run(defaults(), fx);
  EXPECT_EQ(fx.events.back(), "pic 0");
  EXPECT_EQ(fx.events[fx.events.size() - 2], "sh irday");
  EXPECT_EQ(fx.announced, (std::vector<std::string>{"day", "night", "day"}));
  EXPECT_EQ(fx.events[fx.events.size() - 3],
            "log6 lum 21 > day thresh 20 for 8 counts, switching to day mode\n");
}

TEST(Irswitchd, DryRunPrintsEveryReadingAndSwitchesNothing) {
  Options o = defaults();
  o.dry_run = true;
  RecordedEffects fx({0, 0, 0, 0, 0, 0, 0, 0, 0, -1});
  run(o, fx);
  EXPECT_TRUE(fx.events.empty());  // no command, no message, no syslog, not even at start
  EXPECT_TRUE(fx.announced.empty());
  ASSERT_EQ(fx.printed.size(), 10u);
  EXPECT_EQ(fx.printed[0], "Luma Sum = 0, Luma Avg = 0\n");
  EXPECT_EQ(fx.printed[9], "get stats failed with -1\n");
}

TEST(Irswitchd, VerboseTwicePrintsTheLumaLine) {
  Options o = defaults();
  o.verbose = 1;
  RecordedEffects once({30});
  run(o, once);
  EXPECT_TRUE(once.printed.empty());
  o.verbose = 2;
  RecordedEffects twice({30});
  run(o, twice);
  EXPECT_EQ(twice.printed, std::vector<std::string>{"Luma Sum = 2880, Luma Avg = 30\n"});
}

TEST(Irswitchd, FailedReadingsAreLoggedAndChangeNothing) {
  std::vector<int> avgs = repeat(9, 7);
  avgs.push_back(-1);
  avgs.push_back(9);
  RecordedEffects fx(avgs);
  run(defaults(), fx);
  EXPECT_EQ(fx.events[3], "log5 get stats failed");
  EXPECT_EQ(fx.events.back(), "pic 1");  // the count went on after the failed reading
}

TEST(Irswitchd, ForcedModes) {
  Options o = defaults();
  o.force_day = true;
  o.force_night = true;  // day wins
  RecordedEffects both({});
  run(o, both);
  EXPECT_EQ(both.events, (std::vector<std::string>{"sh irday", "pic 0"}));
  o.force_day = false;
  RecordedEffects night({});
  run(o, night);
  EXPECT_EQ(night.events, (std::vector<std::string>{"sh irnight", "pic 1"}));
  o.night_colour = true;
  RecordedEffects colour({});
  run(o, colour);
  EXPECT_EQ(colour.events, (std::vector<std::string>{"sh irnight", "pic 0"}));
}

TEST(Irswitchd, StableDayReassertsTheFilterOnThe302ndReading) {
  RecordedEffects fx(repeat(50, 301));
  run(defaults(), fx);
  EXPECT_EQ(fx.events.size(), 3u);  // only the start-up
  RecordedEffects more(repeat(50, 302));
  run(defaults(), more);
  EXPECT_EQ(more.events.back(), "sh irday");
  EXPECT_EQ(more.events.size(), 4u);
}

TEST(IrswitchdOptions, HelpAndErrors) {
  Options o;
  char a0[] = "irswitchd", a1[] = "-n", a2[] = "5", a3[] = "--day", a4[] = "30", a5[] = "-vv";
  char* argv[] = {a0, a1, a2, a3, a4, a5, nullptr};
  EXPECT_EQ(parse_options(6, argv, &o), ParseResult::kRun);
  EXPECT_EQ(o.night_threshold, 5u);
  EXPECT_EQ(o.day_threshold, 30u);
  EXPECT_EQ(o.verbose, 2);
  char bad[] = "-x";
  char* argv2[] = {a0, bad, nullptr};
  EXPECT_EQ(parse_options(2, argv2, &o), ParseResult::kError);
  char help[] = "--help";
  char* argv3[] = {a0, help, nullptr};
  EXPECT_EQ(parse_options(2, argv3, &o), ParseResult::kHelp);
  EXPECT_EQ(irswitchd_main(2, argv3), 255);
  EXPECT_EQ(irswitchd_main(2, argv2), 255);
}

TEST(IrswitchdOptions, ThresholdsMustBeDecimalNumbers) {
  const struct {
    std::vector<std::string> args;
    ParseResult result;
    uint32_t night, day;
  } cases[] = {
      {{"-n", "7"}, ParseResult::kRun, 7, 20},
      {{"--day=0", "-n", "300"}, ParseResult::kRun, 300, 0},
      {{"-n", "abc"}, ParseResult::kError, 10, 20},
      {{"-n", "-5"}, ParseResult::kError, 10, 20},
      {{"--night", "+5"}, ParseResult::kError, 10, 20},
      {{"-d", "12x"}, ParseResult::kError, 10, 20},
      {{"--day", ""}, ParseResult::kError, 10, 20},
      {{"-d", " 30"}, ParseResult::kError, 10, 20},
      {{"-d", "4294967296"}, ParseResult::kError, 10, 20},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words = {"irswitchd"};
    words.insert(words.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    Options o;
    EXPECT_EQ(parse_options(static_cast<int>(words.size()), argv.data(), &o), c.result)
        << c.args.back();
    EXPECT_EQ(o.night_threshold, c.night) << c.args.back();
    EXPECT_EQ(o.day_threshold, c.day) << c.args.back();
  }
}

TEST(IrswitchdOptions, HelpText) {
  testing::internal::CaptureStdout();
  print_help();
  const std::string text = testing::internal::GetCapturedStdout();
  EXPECT_EQ(text.rfind("irswitchd:\n-n --night [0~255]\t\tluma threshold for switch to night "
                       "(should be < day thresh)\n",
                       0),
            0u);
  EXPECT_NE(text.find("\n-D --forceday\t\t\tforce day mode\n"), std::string::npos);
  EXPECT_NE(text.find("\n-h --help\t\t\tthis help\n\n"), std::string::npos);
}

}  // namespace
}  // namespace irswitchd

namespace irswitchd {
namespace {

TEST(IrswitchdForcedMode, NightHeldWhileBrightThenAutoSwitchesBack) {
  using M = ForcedMode;
  RecordedEffects fx(repeat(120, 8));
  // The start, two forced seconds, then auto with eight bright readings.
  fx.modes = {M::kAuto, M::kNight, M::kNight, M::kAuto};
  run(defaults(), fx);
  const std::vector<std::string> expected = {
      "sh irday",
      "pic 0",
      "openlog",
      "log6 ircut-mode night: switching to night mode\n",
      "sh irnight",
      "pic 1",
      "log6 lum 120 > day thresh 20 for 8 counts, switching to day mode\n",
      "sh irday",
      "pic 0"};
  EXPECT_EQ(fx.events, expected);
  EXPECT_EQ(fx.sleeps, 10);
}

TEST(IrswitchdForcedMode, ANightAskedBeforeTheStartIsHeldAndReasserted) {
  RecordedEffects fx(repeat(120, 1));
  fx.modes = {ForcedMode::kNight};
  fx.tick_limit = 303;
  run(defaults(), fx);
  // No day pulse at the start, no statistics read, one re-assertion after 302 seconds.
  const std::vector<std::string> expected = {"sh irnight", "pic 1", "openlog", "sh irnight"};
  EXPECT_EQ(fx.events, expected);
  EXPECT_EQ(fx.sleeps, 303);
}

TEST(IrswitchdForcedMode, ADryRunIgnoresTheMode) {
  Options o = defaults();
  o.dry_run = true;
  RecordedEffects fx(repeat(3, 9));
  fx.modes = {ForcedMode::kDay};
  run(o, fx);
  EXPECT_TRUE(fx.events.empty());
  EXPECT_EQ(fx.mode_calls, 0u);
}

// A start that fails at "/dev/iav" (the virtual camera has none; the camera build's tests run
// where there is none) leaves the image library torn down, as a run does.
TEST(IrswitchdStart, AMissingDeviceStillTearsTheLibraryDown) {
  char dir[] = "/tmp/irswitchd_test.XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::ofstream(std::string(dir) + "/optics") << "iav_absent=1\n";
  setenv("VCAM_DIR", dir, 1);
  char name[] = "irswitchd";
  char* argv[] = {name, nullptr};
  EXPECT_EQ(irswitchd_main(1, argv), 255);
  EXPECT_FALSE(imagelib::initialised());
  unsetenv("VCAM_DIR");
  std::system((std::string("rm -rf ") + dir).c_str());
}

}  // namespace
}  // namespace irswitchd
