// The motion daemon.
#include "motiond/daemon.h"

#include <syslog.h>
#include <time.h>

#include <cstdio>
#include <vector>

#include "common/state_file.h"
#include "imagelib/daemon_start.h"
#include "imagelib/stats_layout.h"
#include "imagelib/stats_read.h"

namespace motiond {

namespace {

const char* text_of(bool motion) {
  return motion ? camera_state::kTrue : camera_state::kFalse;
}

// The state the file should say, and what it says.
struct Written {
  bool wanted = false;
  bool known = false;    // the file says wanted
  bool failing = false;  // the last write failed (logged once, retried every sample)
};

void publish(Effects& fx, Written* w) {
  if (w->known) return;
  if (fx.write_motion(w->wanted) == 0) {
    w->known = true;
    w->failing = false;
  } else if (!w->failing) {
    w->failing = true;
    fx.log(LOG_WARNING, std::string("cannot write the motion state ") + text_of(w->wanted));
  }
}

void sample(const Options& o, Effects& fx, Detector* d, Written* w, const uint8_t* cfa,
            bool day_night_switch, int64_t now) {
  Tiles tiles;
  if (!ae_tiles(cfa, &tiles)) return;
  const int interval = 1000 / o.rate;
  const Step step = detect(d, o.settings, tiles, now, interval, day_night_switch);
  if (!step.changed) return;
  w->wanted = step.motion;
  w->known = false;
  fx.log(LOG_INFO, step.motion ? "motion" : "no motion");
  if (o.verbose > 0) {
    fx.print(std::string("motion ") + text_of(step.motion) + " at " + std::to_string(now) +
             " ms\n");
  }
}

// The process's real world.
class SystemEffects : public Effects {
 public:
  explicit SystemEffects(int iav_fd) : iav_fd_(iav_fd) {}
  int read_statistics(uint8_t* rgb, uint8_t* cfa) override { return stats_read(iav_fd_, rgb, cfa); }
  std::string day_night() override {
    std::string value;
    return camera_state::read(camera_state::kDirectory, camera_state::kDayNight, &value) == 0
               ? value
               : "";
  }
  int write_motion(bool motion) override {
    return camera_state::write(camera_state::kDirectory, camera_state::kMotion, text_of(motion));
  }
  void log(int priority, const std::string& text) override { syslog(priority, "%s", text.c_str()); }
  void print(const std::string& text) override {
    fputs(text.c_str(), stdout);
    fflush(stdout);
  }
  int64_t now_ms() override {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
  }
  void wait_until_ms(int64_t when) override {
    const timespec t{static_cast<time_t>(when / 1000), static_cast<long>(when % 1000) * 1000000};
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr);  // EINTR: a stop
  }
  bool stop_requested() override { return imagelib::stop_signalled(); }

 private:
  int iav_fd_;
};

}  // namespace

bool ae_tiles(const uint8_t* cfa, Tiles* tiles) {
  using namespace imagelib;
  if (cfa[kHdrAeColumns] != kColumns || cfa[kHdrAeRows] != kRows) return false;
  for (int i = 0; i < kTiles; ++i) (*tiles)[i] = get_le16(cfa + kCfaAeOffset + i * kAeTileBytes);
  return true;
}

void run(const Options& o, Effects& fx) {
  Written written;
  publish(fx, &written);
  Detector detector;
  std::vector<uint8_t> rgb(imagelib::kRgbResultSize), cfa(imagelib::kCfaResultSize);
  std::string day_night = fx.day_night();
  bool failing = false;
  const int64_t period = 1000 / o.rate;
  int64_t next = fx.now_ms();
  while (!fx.stop_requested()) {
    const int64_t now = fx.now_ms();
    if (fx.read_statistics(rgb.data(), cfa.data()) < 0) {
      if (!failing) fx.log(LOG_NOTICE, "get stats failed");
      failing = true;
    } else {
      failing = false;
      const std::string mode = fx.day_night();
      sample(o, fx, &detector, &written, cfa.data(), mode != day_night, now);
      day_night = mode;
    }
    publish(fx, &written);
    next += period;
    if (next < now) next = now + period;  // fell behind: no burst of samples
    fx.wait_until_ms(next);
  }
  if (written.wanted) {
    written.wanted = false;
    written.known = false;
    publish(fx, &written);
  }
}

int motiond_main(int argc, char** argv) {
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
  openlog("motiond", LOG_CONS | LOG_NDELAY, LOG_USER);
  SystemEffects effects(session.iav());
  run(options, effects);
  return 0;
}

}  // namespace motiond
