// Tamper decisions against a table of scenes: pictures of AE luma and AF sharpness, five a
// second, and the samples where each state is raised and cleared.
#include "motiond/tamper.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace motiond {
namespace {

constexpr int kInterval = 200;

struct View {
  double luma = 100;     // every AE tile
  double texture = 1;    // a factor on every AF tile's sharpness
  unsigned pattern = 1;  // which texture pattern (the view the camera looks at)
};

void picture(const View& v, int sample, Tiles* luma, Sharpness* sharp) {
  for (int i = 0; i < kTiles; ++i) luma->at(i) = static_cast<uint16_t>(v.luma * 64 + i % 7);
  for (int i = 0; i < kAfTiles; ++i) {
    const unsigned h = (i + 1) * 2654435761u * v.pattern;
    const double noise = 1 + 0.02 * (((sample * 7 + i) % 5) - 2) / 2;
    sharp->at(i) = static_cast<uint16_t>((2000 + h % 18000) * v.texture * noise);
  }
}

struct Scene {
  std::string name;
  std::function<View(int)> view;
  std::function<bool(int)> announce;
  int samples;
  TamperKind kind;
  int raised;   // first sample with the state raised (-1: never, nor any other state)
  int cleared;  // first sample after that with it cleared (-1: never)
};

TEST(TamperDecision, Scenes) {
  auto never = [](int) { return false; };
  const std::vector<Scene> scenes = {
      {"lens covered for 6 s",
       [](int k) {
         return View{k >= 20 && k < 50 ? 0.3 : 100, k >= 20 && k < 50 ? 0.02 : 1, 1};
       },
       never, 80, kTooDark, 30, 50},
      {"blinded for 6 s",
       [](int k) {
         return View{k >= 20 && k < 50 ? 1000.0 : 100.0, 1, 1};
       },
       never, 80, kTooBright, 30, 50},
      {"smeared lens",
       [](int k) {
         return View{100, k >= 20 ? 0.2 : 1, 1};
       },
       never, 80, kTooBlurry, 45, -1},
      {"camera turned: a new texture pattern, learnt 20 s later",
       [](int k) {
         return View{100, 1, k >= 20 ? 7u : 1u};
       },
       never, 200, kSceneChange, 35, 136},
      {"dusk to night in a minute",
       [](int k) {
         return View{std::max(3.0, 100 - k / 3.0), 1, 1};
       },
       never, 400, kTooDark, -1, -1},
      {"night switch announced: light and texture halve",
       [](int k) {
         return View{k >= 22 ? 40.0 : 80.0, k >= 22 ? 0.3 : 1, 1};
       },
       [](int k) { return k == 20; }, 100, kTooBlurry, -1, -1},
  };
  for (const Scene& scene : scenes) {
    Tamper t;
    int raised = -1, cleared = -1, others = 0;
    for (int k = 0; k < scene.samples; ++k) {
      Tiles luma;
      Sharpness sharp;
      picture(scene.view(k), k, &luma, &sharp);
      const TamperStep step =
          watch(&t, luma, sharp, int64_t{k} * kInterval, kInterval, scene.announce(k));
      for (int kind = 0; kind < kTamperKinds; ++kind) {
        if (!step.changed[kind]) continue;
        if (kind != scene.kind) others++;
        if (kind == scene.kind && step.raised[kind] && raised < 0) raised = k;
        if (kind == scene.kind && !step.raised[kind] && raised >= 0 && cleared < 0) cleared = k;
      }
    }
    EXPECT_EQ(raised, scene.raised) << scene.name;
    EXPECT_EQ(cleared, scene.cleared) << scene.name;
    EXPECT_EQ(others, 0) << scene.name;
  }
}

}  // namespace
}  // namespace motiond
