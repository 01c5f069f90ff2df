// Tampering seen in the tile statistics: the lens covered (too dark), a light shone into it (too
// bright), its picture blurred (too blurry: defocused, smeared) and the camera turned or moved
// (global scene change). Pure over the AE tiles' luma and the AF tiles' sharpness: no clock.
//   too dark     the picture's median falls below 1 luma while the light it had over the last
//                seconds was at least 4 luma (dusk and night fall slowly, and keep above it)
//   too bright   three quarters of the tiles at 800 luma or more (a light into the lens)
//   too blurry   the median of each AF tile's sharpness against what was learnt of it falls
//                below 0.4 (the texture collapses everywhere at once), on a picture neither
//                too dark nor too bright
//   scene change the texture pattern moved: at least 40% of the AF tiles changed by a factor
//                of 1.6 either way, at least 10% up and 10% down (light changes move all of
//                them the same way; a person covers a part)
// Each is raised when its condition has held for its delay and cleared when it ends; a scene
// change is also cleared once the new view has been learnt.
#pragma once

#include <array>
#include <cstdint>

#include "motiond/detector.h"

namespace motiond {

constexpr int kAfTiles = 16 * 16;
using Sharpness = std::array<uint16_t, kAfTiles>;  // the AF tiles' third field, row-major

enum TamperKind { kTooDark = 0, kTooBright, kTooBlurry, kSceneChange, kTamperKinds };

// Each condition's delay (raised when it has held this long), in milliseconds.
constexpr std::array<int, kTamperKinds> kTamperDelayMs = {2000, 2000, 5000, 3000};
constexpr int kSceneLearnMs = 20000;  // a raised scene change becomes the learnt view

struct Tamper {
  bool learnt = false;
  float light = 0;  // the median luma over the last seconds (AE value units)
  std::array<float, kAfTiles> texture{};
  std::array<int64_t, kTamperKinds> since_ms{-1, -1, -1, -1};  // each condition holds since
  std::array<bool, kTamperKinds> raised{};
  int64_t relearn_until_ms = 0;  // after a day/night switch the texture is learnt afresh
};

// What one sample found: each condition now, and the raised states.
struct TamperStep {
  std::array<bool, kTamperKinds> condition{};
  std::array<bool, kTamperKinds> raised{};
  std::array<bool, kTamperKinds> changed{};
  float texture_ratio = 1;  // the median sharpness against the learnt
  float scattered = 0;      // the part of the AF tiles whose texture moved
};

TamperStep watch(Tamper* t, const Tiles& luma, const Sharpness& sharpness, int64_t now_ms,
                 int interval_ms, bool day_night_switch);

// The camera state each condition is written as ("image-too-dark", ...).
const char* tamper_state_name(int kind);

}  // namespace motiond
