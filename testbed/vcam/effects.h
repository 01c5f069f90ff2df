// What happens to the picture besides the light and the moving objects: a lamp switched on, a
// soft-edged shadow front sweeping over it, one-report sparkles (rain, insects under the IR
// light), a lens cover, a blinding light, a smeared lens, and the view the camera looks at
// (turned to a new one at a time). Scene script lines, each timed in seconds:
//   lamp FROM FOR X Y WIDTH HEIGHT LUMA      adds LUMA of light over a patch (tiles)
//   shadow FROM FOR X SPEED EDGE LIGHT       a front from column X moving SPEED tiles/s for FOR
//                                            s, then holding; behind it (left of it when SPEED
//                                            > 0) the light is LIGHT per mille, over a soft
//                                            edge EDGE tiles wide
//   sparkle FROM FOR COUNT LENGTH LUMA       COUNT streaks a report (fractions: on the average)
//                                            LENGTH tiles tall at random places, one report each
//   cover FROM FOR [LUMA]                    the lens covered: every tile LUMA (0), no texture
//   blind FROM FOR [LUMA]                    a light into the lens: every tile at least LUMA
//                                            (1000), the texture washed out to a third
//   smear FROM FOR PERMILLE                  the texture (sharpness) left at PERMILLE
//   view FROM SEED CONTRAST                  from FROM on the camera sees view SEED: each
//                                            tile's light 1 +- CONTRAST per mille, and its own
//                                            texture pattern
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vcam {

enum class EffectKind { kLamp, kShadow, kSparkle, kCover, kBlind, kSmear, kView };

struct SceneEffect {
  EffectKind kind = EffectKind::kLamp;
  double from = 0, seconds = 1e9;
  double x = 0, y = 0, width = 0, height = 0;  // lamp
  double speed = 0, edge = 1, travel = 0;      // shadow (x is where the front starts)
  double count = 0, length = 1;                // sparkle
  double value = 0;   // luma (lamp, sparkle, cover, blind), per mille (shadow, smear, view)
  uint32_t seed = 0;  // view
};

// The effect lines of a scene script (other lines are left to parse_scene and parse_objects).
std::vector<SceneEffect> parse_effects(const std::string& text);
bool is_effect_line(const std::string& kind);

// Applies the effects at elapsed seconds (report: the report number, for the sparkles) to the
// tiles' lumas (12 x 8, row-major), in script order: the view (view true: before the objects
// are laid over the light) or all the others (after).
void apply_effects(const std::vector<SceneEffect>& effects, bool view, double elapsed,
                   int64_t report, std::array<double, 96>* lumas);

// What the effects leave of the texture: a factor on every tile's sharpness, and the view seed
// (0: the camera's own view).
struct Texture {
  double gain = 1;
  uint32_t view = 0;
};
Texture texture_at(const std::vector<SceneEffect>& effects, double elapsed);

}  // namespace vcam
