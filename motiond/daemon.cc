// The motion daemon.
#include "motiond/daemon.h"

#include <syslog.h>
#include <time.h>

#include <array>
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

// The state a file should say, and what it says.
struct Written {
  bool wanted = false;
  bool known = false;    // the file says wanted
  bool failing = false;  // the last write failed (logged once, retried every sample)
};

// The motion state and the tamper states (kind -1: motion).
struct Outputs {
  Written motion;
  std::array<Written, kTamperKinds> tamper;
};

void publish(Effects& fx, int kind, Written* w) {
  if (w->known) return;
  const int rc = kind < 0 ? fx.write_motion(w->wanted) : fx.write_tamper(kind, w->wanted);
  if (rc == 0) {
    w->known = true;
    w->failing = false;
  } else if (!w->failing) {
    w->failing = true;
    fx.log(LOG_WARNING, std::string("cannot write the ") +
                            (kind < 0 ? "motion" : tamper_state_name(kind)) + " state " +
                            text_of(w->wanted));
  }
}

void publish_all(Effects& fx, Outputs* out) {
  publish(fx, -1, &out->motion);
  for (int kind = 0; kind < kTamperKinds; ++kind) publish(fx, kind, &out->tamper[kind]);
}

void want(Written* w, bool value) {
  w->wanted = value;
  w->known = false;
}

void sample(const Options& o, Effects& fx, Detector* d, Tamper* t, Outputs* out, const uint8_t* cfa,
            bool day_night_switch, int64_t now) {
  Tiles tiles;
  Sharpness sharpness;
  if (!ae_tiles(cfa, &tiles)) return;
  const bool textured = af_sharpness(cfa, &sharpness);
  const int interval = 1000 / o.rate;
  const Step step = detect(d, o.settings, tiles, now, interval, day_night_switch);
  TamperStep tamper;
  if (textured) tamper = watch(t, tiles, sharpness, now, interval, day_night_switch);
  fx.sampled(now, step, tamper);
  for (int kind = 0; kind < kTamperKinds; ++kind) {
    if (!tamper.changed[kind]) continue;
    want(&out->tamper[kind], tamper.raised[kind]);
    fx.log(LOG_INFO, std::string(tamper_state_name(kind)) + " " + text_of(tamper.raised[kind]));
  }
  if (!step.changed) return;
  want(&out->motion, step.motion);
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
  int write_tamper(int kind, bool raised) override {
    return camera_state::write(camera_state::kDirectory, tamper_state_name(kind), text_of(raised));
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

bool af_sharpness(const uint8_t* cfa, Sharpness* sharpness) {
  using namespace imagelib;
  if (cfa[kHdrAfColumns] != 16 || cfa[kHdrAfRows] != 16) return false;
  for (int i = 0; i < kAfTiles; ++i) {
    (*sharpness)[i] = get_le16(cfa + kCfaAfOffset + i * kAfTileBytes + 4);
  }
  return true;
}

bool ae_tiles(const uint8_t* cfa, Tiles* tiles) {
  using namespace imagelib;
  if (cfa[kHdrAeColumns] != kColumns || cfa[kHdrAeRows] != kRows) return false;
  for (int i = 0; i < kTiles; ++i) (*tiles)[i] = get_le16(cfa + kCfaAeOffset + i * kAeTileBytes);
  return true;
}

void run(const Options& o, Effects& fx) {
  Outputs out;
  publish_all(fx, &out);
  Detector detector;
  Tamper tamper;
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
      sample(o, fx, &detector, &tamper, &out, cfa.data(), mode != day_night, now);
      day_night = mode;
    }
    publish_all(fx, &out);
    next += period;
    if (next < now) next = now + period;  // fell behind: no burst of samples
    fx.wait_until_ms(next);
  }
  if (out.motion.wanted) want(&out.motion, false);
  for (Written& w : out.tamper) {
    if (w.wanted) want(&w, false);
  }
  publish_all(fx, &out);
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
