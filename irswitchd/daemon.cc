// The day/night daemon.
#include "irswitchd/daemon.h"

#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/state_file.h"
#include "imagelib/daemon_start.h"
#include "imagelib/img_queue.h"
#include "imagelib/stats_layout.h"
#include "imagelib/stats_read.h"
#include "irswitchd/daynight.h"

namespace irswitchd {

namespace {

std::string format(const char* f, long a, long b, long c) {
  char text[160];
  snprintf(text, sizeof text, f, a, b, c);
  return text;
}

// The switch point: the announcement (before the filter moves), the filter and the picture of
// each side.
void enter_night(const Options& o, Effects& fx) {
  fx.announce(camera_state::kModeNight);
  fx.shell(kNightCommand);
  fx.picture(o.night_colour ? 0 : 1);
}

void enter_day(Effects& fx) {
  fx.announce(camera_state::kModeDay);
  fx.shell(kDayCommand);
  fx.picture(0);
}

// Carries out one step's action; a switch is logged with its reason.
void act(const Options& o, Effects& fx, DayNightAction action, const std::string& to_night,
         const std::string& to_day) {
  switch (action) {
    case DayNightAction::kToNight:
      fx.log(LOG_INFO, to_night);
      enter_night(o, fx);
      break;
    case DayNightAction::kToDay:
      fx.log(LOG_INFO, to_day);
      enter_day(fx);
      break;
    case DayNightAction::kReassertDay:
      fx.shell(kDayCommand);
      break;
    case DayNightAction::kReassertNight:
      fx.shell(kNightCommand);
      break;
    case DayNightAction::kNone:
      break;
  }
}

// One second under a forced day or night mode: no statistics are read.
void forced_reading(const Options& o, Effects& fx, DayNightState* state, ForcedMode mode) {
  act(o, fx, forced_step(state, mode), "ircut-mode night: switching to night mode\n",
      "ircut-mode day: switching to day mode\n");
}

void reading(const Options& o, Effects& fx, DayNightState* state, const uint8_t* cfa) {
  uint32_t sum = 0;
  const uint32_t average = average_luma(cfa, &sum);
  if (o.verbose >= 2 || o.dry_run) {
    fx.print(format("Luma Sum = %ld, Luma Avg = %ld\n", sum, average, 0));
  }
  if (o.dry_run) return;
  act(o, fx, day_night_step(state, average, o.night_threshold, o.day_threshold),
      format("lum %ld < night thresh %ld for %ld counts, switching to night mode\n", average,
             o.night_threshold, kSwitchCount),
      format("lum %ld > day thresh %ld for %ld counts, switching to day mode\n", average,
             o.day_threshold, kSwitchCount));
}

// The process's real world.
class SystemEffects : public Effects {
 public:
  explicit SystemEffects(int iav_fd) : iav_fd_(iav_fd) {}
  void shell(const char* command) override {
    fflush(stdout);
    if (std::system(command) == -1) {
      // the result is not checked: lensctl reports its own errors
    }
  }
  void picture(int monochrome) override { set_monochrome(monochrome); }
  // Before the filter moves, so that motion detection knows the picture is about to change.
  void announce(const char* mode) override {
    if (camera_state::write(camera_state::kDirectory, camera_state::kDayNight, mode) != 0) {
      syslog(LOG_WARNING, "cannot write the daynight state %s", mode);
    }
  }
  int read_statistics(uint8_t* rgb, uint8_t* cfa) override { return stats_read(iav_fd_, rgb, cfa); }
  void open_log() override { openlog("irswitchd", LOG_CONS | LOG_NDELAY, LOG_USER); }
  void log(int priority, const std::string& text) override { syslog(priority, "%s", text.c_str()); }
  void print(const std::string& text) override {
    fputs(text.c_str(), stdout);
    fflush(stdout);
  }
  void sleep_second() override { sleep(1); }  // a stop signal cuts it short
  bool stop_requested() override { return imagelib::stop_signalled(); }
  ForcedMode forced_mode() override { return read_forced_mode(camera_state::kDirectory); }

 private:
  int iav_fd_;
};

}  // namespace

void run(const Options& o, Effects& fx) {
  if (o.force_day) {
    fx.shell(kDayCommand);
    fx.picture(0);
    return;
  }
  if (o.force_night) {
    fx.shell(kNightCommand);
    fx.picture(o.night_colour ? 0 : 1);
    return;
  }
  DayNightState state;
  if (!o.dry_run) {
    // A night asked for before the start is taken at once, not after a day pulse.
    state.is_day = fx.forced_mode() != ForcedMode::kNight;
    if (state.is_day) {
      enter_day(fx);
    } else {
      enter_night(o, fx);
    }
    fx.open_log();
  }
  std::vector<uint8_t> rgb(imagelib::kRgbResultSize);
  std::vector<uint8_t> cfa(imagelib::kCfaResultSize);
  while (!fx.stop_requested()) {
    const ForcedMode mode = o.dry_run ? ForcedMode::kAuto : fx.forced_mode();
    if (mode != ForcedMode::kAuto) {
      forced_reading(o, fx, &state, mode);
      fx.sleep_second();
      continue;
    }
    const int result = fx.read_statistics(rgb.data(), cfa.data());
    if (result < 0) {
      if (o.dry_run) {
        fx.print(format("get stats failed with %ld\n", result, 0, 0));
      } else {
        fx.log(LOG_NOTICE, "get stats failed");
      }
    } else {
      reading(o, fx, &state, cfa.data());
    }
    fx.sleep_second();
  }
}

int irswitchd_main(int argc, char** argv) {
  Options options;
  switch (parse_options(argc, argv, &options)) {
    case ParseResult::kHelp:
      print_help();
      return 255;
    case ParseResult::kError:
      return 255;
    case ParseResult::kRun:
      break;
  }
  imagelib::install_stop_signals();
  imagelib::ImagingSession session;
  if (!session.ready()) return 255;
  SystemEffects effects(session.iav());
  run(options, effects);
  return 0;
}

}  // namespace irswitchd
