// The motion decision against a table of scenes: frames of 12 x 8 tiles, five a second, and the
// samples where the state turns true and back to false.
#include "motiond/detector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "motiond/options.h"

namespace motiond {
namespace {

constexpr int kInterval = 200;

// A picture of one luma (the tiles' low bits vary across it as a sensor's do), with noise of up
// to noise/64 luma, and a patch [x0, x1) x [r0, r1) of another luma (columns in fractions: a
// tile takes the patch's luma in proportion to the part of it the patch covers).
struct Picture {
  double luma = 120;
  int noise = 0;
  double x0 = 0, x1 = 0;
  int r0 = 0, r1 = 0;
  double patch = 0;
  double night = 0;  // 0 to 1: how far the filter's night side has changed the picture
};

// The night side passes a different part of each tile's light (0.3 to 0.8 of it).
double night_factor(int tile, double night) {
  return 1 - night * (0.2 + 0.5 * (tile * 37 % kTiles) / kTiles);
}

Tiles frame(const Picture& p, int sample) {
  Tiles t;
  for (int i = 0; i < kTiles; ++i) {
    const int c = i % kColumns, r = i / kColumns;
    const double cover = r >= p.r0 && r < p.r1
                             ? std::max(0.0, std::min(p.x1, c + 1.0) - std::max(p.x0, 1.0 * c))
                             : 0.0;
    const unsigned hash = (static_cast<unsigned>(sample) * 2654435761u) ^ (i * 40503u);
    const int noise = p.noise == 0 ? 0 : static_cast<int>(hash % (2 * p.noise + 1)) - p.noise;
    const double luma = (p.luma + (p.patch - p.luma) * cover) * night_factor(i, p.night);
    t[i] = static_cast<uint16_t>(luma * 64 + i * 7 % 64 + noise);
  }
  return t;
}

// An object of width x height tiles with its luma, at row 3, from sample `from` for `count`
// samples, moving smoothly one column a second from column 0.
Picture object(int sample, int from, int count, int width, int height, double luma) {
  Picture p;
  if (sample < from || sample >= from + count) return p;
  const double x = (sample - from) / 5.0;
  p.x0 = x, p.x1 = x + width, p.r0 = 3, p.r1 = 3 + height, p.patch = luma;
  return p;
}

struct Scene {
  std::string name;
  std::function<void(Settings&)> settings;
  std::function<Picture(int)> picture;
  std::function<bool(int)> announce;  // a day/night switch is announced at this sample
  int samples;
  int on;   // first sample with the state true (-1: never)
  int off;  // first sample after that with it false (-1: never)
};

void defaults(Settings&) {}
bool never(int) {
  return false;
}

TEST(MotionDecision, Scenes) {
  const std::vector<Scene> scenes = {
      {"object of 3 x 1 tiles for 4 s: on after the on delay, off after the off delay", defaults,
       [](int k) { return object(k, 20, 20, 3, 1, 40); }, never, 80, 22, 50},
      {"the same with noise", defaults,
       [](int k) {
         Picture p = object(k, 20, 20, 3, 1, 40);
         p.noise = 24;
         return p;
       },
       never, 80, 22, 50},
      {"one tile moving along a row (at most two at once): below the minimum count", defaults,
       [](int k) { return object(k, 20, 20, 1, 1, 40); }, never, 80, -1, -1},
      {"one tile with a minimum count of 1", [](Settings& s) { s.min_count = 1; },
       [](int k) { return object(k, 20, 20, 1, 1, 40); }, never, 80, 23, 50},
      {"an object outside the active cells",
       [](Settings& s) { parse_cells("fffffffff000000fffffffff", &s.cells); },
       [](int k) { return object(k, 20, 20, 3, 1, 40); }, never, 80, -1, -1},
      {"half a second with an on delay of 1 s", [](Settings& s) { s.on_delay_ms = 1000; },
       [](int k) { return object(k, 20, 3, 2, 2, 40); }, never, 80, -1, -1},
      {"faint object (7%) at sensitivity 0", [](Settings& s) { s.sensitivity = 0; },
       [](int k) { return object(k, 20, 20, 2, 2, 112); }, never, 80, -1, -1},
      {"faint object (7%) at sensitivity 100", [](Settings& s) { s.sensitivity = 100; },
       [](int k) { return object(k, 20, 20, 2, 2, 112); }, never, 80, 22, 50},
      {"an object that stops is background at once: off the off delay after it stopped", defaults,
       [](int k) {
         Picture p = object(std::min(k, 30), 20, 1000, 2, 2, 40);
         return k < 20 ? Picture{} : p;
       },
       never, 400, 22, 42},
      {"a patch that appears and holds still (a lamp) is a step, never motion", defaults,
       [](int k) {
         Picture p;
         if (k >= 20) p.x0 = 0, p.x1 = 4, p.r0 = 0, p.r1 = 8, p.patch = 180;
         return p;
       },
       never, 100, -1, -1},
      {"the same at night: a dim yard, noise a tenth of it, a lamp over a quarter", defaults,
       [](int k) {
         Picture p;
         p.luma = 8, p.noise = 48;
         if (k >= 40) p.x0 = 8, p.x1 = 12, p.r0 = 2, p.r1 = 8, p.patch = 14;
         return p;
       },
       never, 200, -1, -1},
      {"streaks three tiles tall lasting one sample each, at a new place each time", defaults,
       [](int k) {
         Picture p;
         if (k >= 20 && k % 2 == 0) p.x0 = k % 12, p.x1 = p.x0 + 1, p.r0 = k % 5, p.r1 = p.r0 + 3;
         if (k >= 20 && k % 2 == 1) p.x0 = (k * 5) % 12, p.x1 = p.x0 + 1, p.r0 = 2, p.r1 = 5;
         p.patch = 400;
         return p;
       },
       never, 100, -1, -1},
      {"a soft front darkening column after column", defaults,
       [](int k) {
         Picture p;
         p.x0 = 0, p.x1 = std::clamp((k - 20) / 2.5, 0.0, 12.0), p.r0 = 0, p.r1 = 8;
         p.patch = 70;
         return p;
       },
       never, 100, -1, -1},
      {"exposure halves at once", defaults,
       [](int k) {
         Picture p;
         p.luma = k < 20 ? 120 : 60;
         return p;
       },
       never, 80, -1, -1},
      {"flicker", defaults,
       [](int k) {
         Picture p;
         p.luma = k % 2 ? 120 : 3;
         return p;
       },
       never, 80, -1, -1},
      {"dusk: 120 to 10 in a minute, noise growing", defaults,
       [](int k) {
         Picture p;
         p.luma = k < 300 ? 120 - 110.0 * k / 300 : 10;
         p.noise = 8 + k / 10;
         return p;
       },
       never, 400, -1, -1},
      {"night switch unannounced: each tile darker by its own part at once", defaults,
       [](int k) {
         Picture p;
         p.luma = 20;
         p.night = k < 25 ? 0 : 1;
         return p;
       },
       never, 80, -1, -1},
      {"night switch announced, the picture changing over two seconds", defaults,
       [](int k) {
         Picture p;
         p.luma = 20;
         p.night = std::clamp((k - 22) / 10.0, 0.0, 1.0);
         p.noise = 8;
         return p;
       },
       [](int k) { return k == 20; }, 80, -1, -1},
  };
  for (const Scene& scene : scenes) {
    Settings settings;
    scene.settings(settings);
    Detector d;
    int on = -1, off = -1;
    for (int k = 0; k < scene.samples; ++k) {
      const Step step = detect(&d, settings, frame(scene.picture(k), k), int64_t{k} * kInterval,
                               kInterval, scene.announce(k));
      if (step.changed && step.motion && on < 0) on = k;
      if (step.changed && !step.motion && off < 0) off = k;
    }
    EXPECT_EQ(on, scene.on) << scene.name;
    EXPECT_EQ(off, scene.off) << scene.name;
  }
}

TEST(MotionDecision, LargestGroupCountsFourNeighbours) {
  Cells cells{};
  // A pair in a row, a pair in a column, and 23 and 24: one row's end and the next's start.
  for (int i : {0, 1, 26, 38, 23, 24}) cells[i] = true;
  EXPECT_EQ(largest_group(cells), 2);
  cells[14] = cells[2] = true;  // 2 joins 0-1 and 14, 14 joins 26-38
  EXPECT_EQ(largest_group(cells), 6);
  EXPECT_EQ(largest_group(Settings::all_cells()), kTiles);
}

}  // namespace
}  // namespace motiond
