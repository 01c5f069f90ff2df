// bench-libs: motiond_lib vcam imagelib
// Motion detection measured: motiond's loop against the virtual camera at virtual time, over
// scripted scenes with known motion episodes (objects of at least the minimum count of tiles)
// and known non-motion events (exposure steps, filter switches, dusk, flicker, noise, a small
// object). Prints per scene and in total: episodes detected, latency from an episode's start
// to the state turning true (median, worst), missed episodes, false alarms, the time the state
// takes to turn false after the object left, and the CPU time per sample.
// With --svg DIR each scene is also drawn as a timeline, DIR/<scene>.svg (motion_timeline.h).
// --seed N runs the scenes with another sensor noise, texture and IR reflection (default 1).
//   motion_bench [--svg DIR] [--seed N] [SCENE-NAME-PART]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/motion_timeline.h"
#include "imagelib/ops.h"
#include "imagelib/setup.h"
#include "imagelib/stats_layout.h"
#include "imagelib/stats_read.h"
#include "motiond/daemon.h"
#include "testbed/vcam/config.h"
#include "testbed/vcam/slices.h"

namespace {

// irswitchd's switch, as motiond sees it: the "daynight" state, then the filter moves.
struct Switch {
  double at;  // seconds
  bool night;
  bool announced = true;
};

// A tamper condition the scene holds, from and to (seconds).
struct TamperWindow {
  int kind;  // motiond::TamperKind
  double from, to;
};

struct BenchScene {
  const char* name;
  const char* optics;
  const char* scene;  // the virtual camera's scene script (light and objects)
  bool night_at_start;
  std::vector<Switch> switches;
  double seconds;
  std::vector<TamperWindow> tamper = {};
};

const std::vector<BenchScene> kScenes = {
    {"walkers by day",
     "luma_noise=16\n",
     "day 100\n"
     "object 10 7 -1.5 3 1.5 2.5 40 2\n"  // a person walking in from the left edge
     "object 30 4 12 5 3 1.5 200 -4\n"    // a bright car, fast, from the right edge
     "object 45 14 0 1 1.5 2.5 80 0.8\n"  // a slow walker, low contrast
     "object 70 8 5 0 1.5 2.5 60 0 1\n",  // walking towards the camera
     false,
     {},
     90},
    {"walkers by night (IR light)",
     "luma_noise=24\nnight_gain=600\n",
     "night 100 12\n"
     "object 10 7 -1.5 3 1.5 2.5 40 2\n"
     "object 40 10 11 4 1.5 2.5 30 -1\n",
     true,
     {},
     60},
    {"walker at dusk",
     "luma_noise=16\n",
     "day 10\nramp 60 15\nobject 30 6 0 3 1.5 2.5 60 2\n",
     false,
     {},
     70},
    {"noise only (day)", "luma_noise=48\n", "day 100\n", false, {}, 60},
    {"noise only (night)", "luma_noise=32\nnight_gain=600\n", "night 100 5\n", true, {}, 60},
    {"exposure steps",
     "luma_noise=16\n",
     "day 10 120\nday 10 60\nday 10 120\nday 10 200\nday 10 90\nday 10 30\nday 10 120\n",
     false,
     {},
     70},
    {"filter day to night and back",
     "luma_noise=16\nnight_gain=500\n",
     "dusk 100 25\n",
     false,
     {{10, true}, {40, false}},
     60},
    {"filter switched unannounced",
     "luma_noise=16\nnight_gain=500\n",
     "dusk 100 25\n",
     false,
     {{10, true, false}, {40, false, false}},
     60},
    {"slow dusk ramp", "luma_noise=16\n", "day 10\nramp 120 8\nnight 10 8\n", false, {}, 140},
    {"flicker", "luma_noise=16\n", "day 10\nflicker 30\nday 10\n", false, {}, 50},
    // Below the minimum count: each touches at most two tiles at a time (one crossing a
    // tile's corner touches four, which counts as motion).
    {"small objects (1 tile)",
     "luma_noise=16\n",
     "day 100\nobject 10 7 -1 3 1 1 40 2\nobject 30 8 6.1 -0.8 0.8 0.8 200 0 1.2\n",
     false,
     {},
     50},
    // A light that changes and stays: a lamp over the left third of the yard, on for 30 s.
    {"lamp over a third", "luma_noise=16\n", "day 100\nlamp 10 30 0 0 4 8 60\n", false, {}, 60},
    // The same at night under the IR light, a porch lamp over a quarter of the yard.
    {"lamp at night (IR)",
     "luma_noise=48\nnight_gain=600\n",
     "night 100 10\nlamp 10 30 8 2 4 6 8\n",
     true,
     {},
     60},
    // A cloud's soft shadow front crossing the picture (half of it in 3 s), and the sun back.
    {"cloud shadow front",
     "luma_noise=16\n",
     "day 100\nshadow 10 6 0 2 2 550\nshadow 35 6 0 2 2 1818\n",
     false,
     {},
     60},
    // A slower, softer front from the right (half the picture in 6 s), then the sun back.
    {"slow shadow from the right",
     "luma_noise=16\n",
     "day 100\nshadow 10 12 12 -1 3 600\nshadow 40 12 12 -1 3 1667\n",
     false,
     {},
     60},
    // Rain or insects under the IR light: streaks three tiles tall lasting one sample.
    {"IR sparkles (rain)",
     "luma_noise=24\nnight_gain=600\n",
     "night 100 12\nsparkle 5 50 0.6 3 60\n",
     true,
     {},
     60},
    // Tampering: the lens covered, a light shone into it, smeared, the camera turned; and a
    // person who walks up close and stands there (motion, no tampering).
    {"lens covered",
     "luma_noise=16\n",
     "day 100\ncover 20 10\n",
     false,
     {},
     45,
     {{motiond::kTooDark, 20, 30}}},
    {"blinding light",
     "luma_noise=16\n",
     "day 100\nblind 20 10\n",
     false,
     {},
     45,
     {{motiond::kTooBright, 20, 30}}},
    {"smeared lens",
     "luma_noise=16\n",
     "day 100\nsmear 20 20 200\n",
     false,
     {},
     50,
     {{motiond::kTooBlurry, 20, 40}}},
    {"camera turned",
     "luma_noise=16\n",
     "day 100\nview 0 1 300\nview 30 2 300\n",
     false,
     {},
     70,
     {{motiond::kSceneChange, 30, 1e9}}},
    {"person close, standing",
     "luma_noise=16\n",
     "day 100\nview 0 1 300\nobject 10 2 -4 1 4 7 30 2\nobject 12 28 0 1 4 7 30\n",
     false,
     {},
     50},
    // A person half again as bright as the yard under IR, at MinCount's size, walking.
    {"faint person at night (IR)",
     "luma_noise=48\nnight_gain=600\n",
     "night 100 10\n"
     "object 10 9 -0.9 2 0.9 3.4 15 1.5\n"
     "object 30 9 12 3.3 0.9 3.4 15 -1.5\n",
     true,
     {},
     50},
};

// What motiond found in one sample.
struct Sample {
  int64_t ms;
  motiond::Step step;
  motiond::TamperStep tamper;
};

// The world of one scene run: the virtual camera at virtual time, and what motiond wrote.
struct World {
  vcam::Optics optics;
  vcam::SceneNow scene;
  std::vector<vcam::ScenePart> light;
  const BenchScene* bench = nullptr;
  int64_t now_ms = 0;
  int64_t report = 0;
  std::vector<std::pair<int64_t, bool>> writes;
  std::vector<Sample> samples;
  double render_cpu = 0;  // seconds spent making the virtual camera's picture
};
World* world = nullptr;
const char* svg_dir = nullptr;  // --svg
std::string seed_line;          // --seed: another sensor noise and texture

double cpu_seconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

bool filter_night(const World& w, double t) {
  bool night = w.bench->night_at_start;
  for (const Switch& s : w.bench->switches) {
    if (t >= s.at + 0.1) night = s.night;  // lensctl moves the filter right after the state
  }
  return night;
}

// The driver's statistics request, answered by the virtual camera at the virtual time.
int virtual_driver(int, unsigned long request, void* argument) {
  if (request != imagelib::kIavIocImgGetStatistics) return -1;
  const auto* r = static_cast<const imagelib::StatisticsRequest*>(argument);
  const double start = cpu_seconds();
  World& w = *world;
  w.scene.elapsed = static_cast<double>(w.now_ms) / 1000;
  w.scene.luma = vcam::scene_luma(w.light, w.scene.elapsed, w.report);
  const auto filter = filter_night(w, w.scene.elapsed) ? vcam::Filter::kNight : vcam::Filter::kDay;
  vcam::fill_report(w.optics, w.scene, filter, 0, w.report++,
                    reinterpret_cast<uint8_t*>(r->cfa_area),
                    reinterpret_cast<uint8_t*>(r->rgb_area));
  w.render_cpu += cpu_seconds() - start;
  return 0;
}

class VirtualTime : public motiond::Effects {
 public:
  int read_statistics(uint8_t* rgb, uint8_t* cfa) override { return stats_read(0, rgb, cfa); }
  std::string day_night() override {
    bool night = world->bench->night_at_start;
    for (const Switch& s : world->bench->switches) {
      if (s.announced && world->now_ms >= static_cast<int64_t>(s.at * 1000)) night = s.night;
    }
    return night ? "night" : "day";
  }
  int write_motion(bool motion) override {
    world->writes.emplace_back(world->now_ms, motion);
    return 0;
  }
  void log(int, const std::string&) override {}
  void print(const std::string&) override {}
  int64_t now_ms() override { return world->now_ms; }
  void wait_until_ms(int64_t when) override { world->now_ms = std::max(world->now_ms, when); }
  void sampled(int64_t now, const motiond::Step& step, const motiond::TamperStep& t) override {
    world->samples.push_back({now, step, t});
  }
  bool stop_requested() override {
    return world->now_ms >= static_cast<int64_t>(world->bench->seconds * 1000);
  }
};

// When an object has left: its time is over or it is out of the picture.
double leaves(const vcam::SceneObject& o) {
  double t = o.seconds;
  auto out = [&](double at, double size, double speed, double end) {
    if (speed > 0) t = std::min(t, (end - at) / speed);
    if (speed < 0) t = std::min(t, (at + size) / -speed);
  };
  out(o.x, o.width, o.speed_x, vcam::kAeColumns);
  out(o.y, o.height, o.speed_y, vcam::kAeRows);
  return o.from + t;
}

struct Figures {
  int episodes = 0, detected = 0, within_1s = 0, missed = 0, false_alarms = 0, samples = 0;
  std::vector<double> latencies, releases;
  double false_held = 0;  // the longest a false alarm held the state true (s)
  int tamper_expected = 0, tamper_in_time = 0, tamper_false = 0;
  double tamper_late = 0;  // the worst time from a condition's start to its state raised
  double cpu = 0;          // motiond's CPU seconds
};

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}
double worst(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

// Scores what motiond wrote against the scene's episodes: objects of at least the minimum
// count of tiles. A "true" that no episode explains is a false alarm.
void score(const World& w, const motiond::Options& o, Figures* f) {
  std::vector<bool> explained(w.writes.size(), false);
  for (const vcam::SceneObject& obj : w.scene.objects) {
    if (obj.width * obj.height < o.settings.min_count) continue;
    if (obj.speed_x == 0 && obj.speed_y == 0) continue;  // standing still: not motion
    f->episodes++;
    const double from = obj.from, to = leaves(obj);
    int on = -1;
    for (size_t i = 0; i < w.writes.size(); ++i) {
      const double t = static_cast<double>(w.writes[i].first) / 1000;
      if (w.writes[i].second && t >= from && t <= to) {
        explained[i] = true;
        if (on < 0) on = static_cast<int>(i);
      }
    }
    if (on < 0) {
      f->missed++;
      continue;
    }
    const double latency = static_cast<double>(w.writes[on].first) / 1000 - from;
    f->detected++;
    f->within_1s += latency <= 1.0;
    f->latencies.push_back(latency);
    double release = 1e9;  // no "false" after it left: stuck
    bool on_when_left = false;
    for (const auto& [ms, motion] : w.writes) {
      const double t = static_cast<double>(ms) / 1000;
      if (t <= to) on_when_left = motion;
      if (t > to && on_when_left && !motion) {
        release = t - to;
        break;
      }
    }
    if (!on_when_left) release = 0;  // already false as it left
    f->releases.push_back(release);
  }
  for (size_t i = 0; i < w.writes.size(); ++i) {
    if (!w.writes[i].second || explained[i]) continue;
    f->false_alarms++;
    int64_t until = static_cast<int64_t>(w.bench->seconds * 1000);
    if (i + 1 < w.writes.size()) until = w.writes[i + 1].first;
    f->false_held = std::max(f->false_held, static_cast<double>(until - w.writes[i].first) / 1000);
  }
}

// Scores the tamper states: each condition of the scene raised within its documented delay
// (and a sample); a raise outside every condition (and a second after) is false.
void score_tamper(const World& w, const motiond::Options& o, Figures* f) {
  const double sample = 1.0 / o.rate;
  for (const TamperWindow& win : w.bench->tamper) {
    f->tamper_expected++;
    const double delay = motiond::kTamperDelayMs[win.kind] / 1000.0;
    for (const Sample& smp : w.samples) {
      const double t = static_cast<double>(smp.ms) / 1000;
      if (t < win.from || !smp.tamper.raised[win.kind]) continue;
      f->tamper_late = std::max(f->tamper_late, t - win.from);
      f->tamper_in_time += t - win.from <= delay + sample + 1e-6;
      break;
    }
  }
  for (const Sample& smp : w.samples) {
    const double t = static_cast<double>(smp.ms) / 1000;
    for (int kind = 0; kind < motiond::kTamperKinds; ++kind) {
      if (!smp.tamper.changed[kind] || !smp.tamper.raised[kind]) continue;
      bool expected = false;
      for (const TamperWindow& win : w.bench->tamper) {
        expected = expected || (win.kind == kind && t >= win.from && t <= win.to + 1);
      }
      f->tamper_false += expected ? 0 : 1;
    }
  }
}

void draw_timeline(const World& w, const motiond::Options& o, const char* dir) {
  bench::Timeline tl;
  tl.name = w.bench->name;
  tl.seconds = w.bench->seconds;
  tl.min_count = o.settings.min_count;
  for (const vcam::SceneObject& obj : w.scene.objects)
    tl.episodes.push_back({obj.from, leaves(obj)});
  for (const TamperWindow& win : w.bench->tamper) {
    tl.tampering.push_back({win.kind, {win.from, std::min(win.to, w.bench->seconds)}});
  }
  static const char* const kEffectNames[] = {"lamp",  "shadow", "sparkles", "cover",
                                             "blind", "smear",  "view"};
  for (const vcam::SceneEffect& e : w.scene.effects) {
    const double to = e.kind == vcam::EffectKind::kShadow ? e.from + e.travel : e.from + e.seconds;
    tl.marks.push_back(
        {kEffectNames[static_cast<int>(e.kind)], e.from, std::min(to, w.bench->seconds)});
  }
  for (const Switch& sw : w.bench->switches) {
    tl.marks.push_back({sw.announced ? "IR switch" : "IR switch (unannounced)", sw.at, sw.at});
  }
  for (const Sample& smp : w.samples) {
    tl.samples.push_back({static_cast<double>(smp.ms) / 1000, smp.step.largest, smp.step.motion,
                          smp.step.quiet, smp.tamper.condition, smp.tamper.raised});
  }
  if (!bench::write_timeline(tl, dir)) fprintf(stderr, "cannot write into %s\n", dir);
}

Figures run_scene(const BenchScene& s, const motiond::Options& options) {
  World w;
  w.bench = &s;
  w.optics = vcam::parse_optics(s.optics + seed_line);
  w.light = vcam::parse_scene(s.scene);
  w.scene.objects = vcam::parse_objects(s.scene);
  w.scene.effects = vcam::parse_effects(s.scene);
  world = &w;
  VirtualTime fx;
  const double start = cpu_seconds();
  motiond::run(options, fx);
  Figures f;
  f.cpu = cpu_seconds() - start - w.render_cpu;
  f.samples = static_cast<int>(w.report);
  score(w, options, &f);
  score_tamper(w, options, &f);
  if (svg_dir != nullptr) draw_timeline(w, options, svg_dir);
  return f;
}

void print_row(const char* name, const Figures& f) {
  char off[16] = " stuck";  // an episode whose "true" was never taken back
  if (worst(f.releases) < 1e8) snprintf(off, sizeof off, "%6.2f", worst(f.releases));
  printf("%-28s %4d %4d/%-4d %5.2f %5.2f %4d %4d %6.2f %6s %3d/%-3d %5.2f %4d %7.2f\n", name,
         f.episodes, f.detected, f.within_1s, median(f.latencies), worst(f.latencies), f.missed,
         f.false_alarms, f.false_held, off, f.tamper_in_time, f.tamper_expected, f.tamper_late,
         f.tamper_false, f.samples ? f.cpu / f.samples * 1e6 : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  const char* only = "";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--svg") == 0 && i + 1 < argc) {
      svg_dir = argv[++i];
    } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      seed_line = std::string("seed=") + argv[++i] + "\n";
    } else {
      only = argv[i];
    }
  }
  if (imagelib_setup(0, 0) < 0) return 1;
  imagelib_set_ioctl(virtual_driver);
  motiond::Options options;  // the defaults
  printf("motiond at its defaults (sensitivity %d, MinCount %d, on %d ms, off %d ms, %d/s)\n",
         options.settings.sensitivity, options.settings.min_count, options.settings.on_delay_ms,
         options.settings.off_delay_ms, options.rate);
  printf("%-28s %4s %9s %5s %5s %4s %4s %6s %6s %7s %5s %4s %7s\n", "scene", "epis", "det/<=1s",
         "lat50", "latmx", "miss", "fals", "falsmx", "offmx", "tmp/exp", "tlat", "tfal", "us/smp");
  Figures total;
  for (const BenchScene& s : kScenes) {
    if (std::strstr(s.name, only) == nullptr) continue;
    const Figures f = run_scene(s, options);
    print_row(s.name, f);
    total.episodes += f.episodes, total.detected += f.detected, total.within_1s += f.within_1s;
    total.missed += f.missed, total.false_alarms += f.false_alarms, total.samples += f.samples;
    total.false_held = std::max(total.false_held, f.false_held);
    total.tamper_expected += f.tamper_expected, total.tamper_in_time += f.tamper_in_time;
    total.tamper_false += f.tamper_false;
    total.tamper_late = std::max(total.tamper_late, f.tamper_late);
    total.cpu += f.cpu;
    total.latencies.insert(total.latencies.end(), f.latencies.begin(), f.latencies.end());
    total.releases.insert(total.releases.end(), f.releases.begin(), f.releases.end());
  }
  print_row("total", total);
  const double off_limit = options.settings.off_delay_ms / 1000.0 + 1;
  printf(
      "columns: latencies, the longest a false alarm held (falsmx) and the state's return to "
      "false after the object left (offmx) in seconds; tamper conditions raised within their "
      "delay (tmp/exp), the worst time to raise one (tlat, s), tamper states raised without a "
      "condition (tfal); CPU per sample without the virtual camera's rendering\n");
  printf(
      "targets: every episode within 1 s %s; no false alarm %s; false within %.1f s of "
      "leaving %s\n",
      total.within_1s == total.episodes ? "met" : "NOT met",
      total.false_alarms == 0 ? "met" : "NOT met", off_limit,
      worst(total.releases) <= off_limit ? "met" : "NOT met");
  printf("tamper: every condition raised within its delay %s; none without one %s\n",
         total.tamper_in_time == total.tamper_expected ? "met" : "NOT met",
         total.tamper_false == 0 ? "met" : "NOT met");
  imagelib_teardown();
  return 0;
}
