// The virtual camera's set-up, read from files in its folder: "optics" (focus curve, texture,
// slices, device faults; key=value lines) and "scene" (the brightness script).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "testbed/vcam/effects.h"

namespace vcam {

struct Optics {
  int slices = 1;            // slices per report, 1 to 5 (5 can't fit the areas)
  int64_t true_focus = 600;  // lens position of the sharpest picture
  double width = 300;        // half width of the focus curve, in motor steps
  int texture_min = 2000;    // sharpness range of the tiles when in focus
  int texture_max = 20000;
  int blur_floor = 100;       // per mille of the sharpness left when far out of focus
  int noise = 2;              // per mille of random noise on every tile
  int luma_noise = 0;         // sensor noise: each AE value moves by up to this much (1/64 luma)
  int night_gain = 1000;      // per mille of the light left with the filter in its night side
  bool flat = false;          // sharpness that doesn't depend on the lens
  bool ae_tile_zero = false;  // a report whose AE tile size is 0 (a faulty driver)
  bool iav_absent = false;    // no "/dev/iav"
  bool i2c_absent = false;    // no "/dev/i2c-0"
  uint32_t seed = 1;
};

Optics parse_optics(const std::string& text);
Optics load_optics();

// One part of the scene script: "day 5", "dusk 3", "night 10", "flicker 8", "night 10 4"
// (kind, seconds, optional luma); "ramp 60 15" goes from the previous part's luma to 15 in
// 60 seconds. The last part lasts for ever.
struct ScenePart {
  std::string kind;
  double seconds = 0;
  int luma = 0;
};
std::vector<ScenePart> parse_scene(const std::string& text);

// The luma of the scene after elapsed seconds; flicker alternates its luma with the day's
// from one report to the next.
int scene_luma(const std::vector<ScenePart>& scene, double elapsed, int64_t report);

// A moving patch over the light: "object FROM FOR X Y WIDTH HEIGHT LUMA [SPEED_X [SPEED_Y]]",
// present from FROM seconds for FOR seconds, its top left corner at (X, Y) at FROM, moving by
// the speeds each second. Places, sizes and speeds in AE tiles (the picture is 12 x 8 of them).
struct SceneObject {
  double from = 0, seconds = 0;
  double x = 0, y = 0, width = 1, height = 1;
  int luma = 0;
  double speed_x = 0, speed_y = 0;
};
std::vector<SceneObject> parse_objects(const std::string& text);

// The scene now: its light, the time into the script and the objects.
struct SceneNow {
  int luma = 120;
  double elapsed = 0;
  std::vector<SceneObject> objects;
  std::vector<SceneEffect> effects;
};

// The scene now from the "scene" file, timed from the file's modification, or counted in
// reports when its first line is "by readings" (day light when there is no script).
SceneNow current_scene(int64_t report);

}  // namespace vcam
