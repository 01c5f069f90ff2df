// Tampering decisions (see tamper.h).
#include "motiond/tamper.h"

#include <algorithm>
#include <cmath>

#include "common/camera_states.h"

namespace motiond {

namespace {

constexpr float kLuma = 64;                 // AE values per luma step
constexpr float kDarkLuma = 1 * kLuma;      // darker than this: covered...
constexpr float kLitLuma = 4 * kLuma;       // ...when it was at least this bright
constexpr float kBrightLuma = 800 * kLuma;  // blinded tiles
constexpr int kBrightTiles = kTiles * 3 / 4;
constexpr float kBlurred = 0.4f, kSharpAgain = 0.6f;
constexpr float kMoved = 1.6f;  // a tile's texture changed by this factor either way
constexpr float kScattered = 0.4f, kEachWay = 0.1f;
constexpr float kLightSeconds = 10;    // time constant of the remembered light
constexpr float kTextureSeconds = 30;  // and of the learnt texture
constexpr float kRelearnRate = 0.3f;
constexpr int kSwitchRelearnMs = 4000;

template <size_t N>
float median_of(std::array<float, N> v) {
  std::nth_element(v.begin(), v.begin() + N / 2, v.end());
  return v[N / 2];
}

float median_luma(const Tiles& luma) {
  std::array<float, kTiles> v;
  for (int i = 0; i < kTiles; ++i) v[i] = luma[i];
  return median_of(v);
}

// The texture against what was learnt: the median ratio and the part of the tiles whose
// texture moved (when it moved both ways).
void compare_texture(const Tamper& t, const Sharpness& sharpness, TamperStep* step) {
  std::array<float, kAfTiles> ratio;
  int up = 0, down = 0;
  for (int i = 0; i < kAfTiles; ++i) {
    ratio[i] = (sharpness[i] + 1.0f) / (t.texture[i] + 1.0f);
    up += ratio[i] > kMoved ? 1 : 0;
    down += ratio[i] < 1 / kMoved ? 1 : 0;
  }
  step->texture_ratio = median_of(ratio);
  const bool both = up >= kEachWay * kAfTiles && down >= kEachWay * kAfTiles;
  step->scattered = both ? static_cast<float>(up + down) / kAfTiles : 0;
}

void learn_texture(Tamper* t, const Sharpness& sharpness, float rate) {
  for (int i = 0; i < kAfTiles; ++i) t->texture[i] += rate * (sharpness[i] - t->texture[i]);
}

// Raises a condition that has held for its delay; clears it when it ends.
void hold(Tamper* t, int kind, bool now, int64_t now_ms, TamperStep* step) {
  step->condition[kind] = now;
  if (!now) {
    t->since_ms[kind] = -1;
  } else if (t->since_ms[kind] < 0) {
    t->since_ms[kind] = now_ms;
  }
  const bool raised = now && now_ms - t->since_ms[kind] >= kTamperDelayMs[kind];
  step->changed[kind] = raised != t->raised[kind];
  t->raised[kind] = raised;
  step->raised[kind] = raised;
}

}  // namespace

const char* tamper_state_name(int kind) {
  static const char* const kNames[kTamperKinds] = {
      camera_state::kImageTooDark, camera_state::kImageTooBright, camera_state::kImageTooBlurry,
      camera_state::kGlobalSceneChange};
  return kNames[std::clamp(kind, 0, kTamperKinds - 1)];
}

TamperStep watch(Tamper* t, const Tiles& luma, const Sharpness& sharpness, int64_t now_ms,
                 int interval_ms, bool day_night_switch) {
  TamperStep step;
  const float mid = median_luma(luma);
  if (!t->learnt) {
    t->learnt = true;
    t->light = mid;
    for (int i = 0; i < kAfTiles; ++i) t->texture[i] = sharpness[i];
  }
  if (day_night_switch) t->relearn_until_ms = now_ms + kSwitchRelearnMs;
  const float seconds = static_cast<float>(interval_ms) / 1000;

  // Too dark: darker than kDarkLuma, having been lit; while dark the light is not learnt.
  const bool dark = mid < kDarkLuma && (t->light >= kLitLuma || t->raised[kTooDark]);
  if (!dark) t->light += std::min(1.0f, seconds / kLightSeconds) * (mid - t->light);
  hold(t, kTooDark, dark, now_ms, &step);

  int bright_tiles = 0;
  for (uint16_t v : luma) bright_tiles += v >= kBrightLuma ? 1 : 0;
  const bool bright = bright_tiles >= kBrightTiles;
  hold(t, kTooBright, bright, now_ms, &step);

  // The texture, on a picture that is neither: blurred, or a new view.
  const bool seen = mid >= kDarkLuma && !bright;
  compare_texture(*t, sharpness, &step);
  const bool relearning = now_ms < t->relearn_until_ms;
  const bool blurred = seen && !relearning &&
                       (step.texture_ratio < (t->raised[kTooBlurry] ? kSharpAgain : kBlurred));
  hold(t, kTooBlurry, blurred, now_ms, &step);
  const bool moved = seen && !relearning && step.scattered >= kScattered;
  hold(t, kSceneChange, moved, now_ms, &step);

  if (relearning) {
    learn_texture(t, sharpness, kRelearnRate);
  } else if (t->raised[kSceneChange] &&
             now_ms - t->since_ms[kSceneChange] >= kTamperDelayMs[kSceneChange] + kSceneLearnMs) {
    learn_texture(t, sharpness, 1);  // the new view is the camera's view now
  } else if (seen && !blurred && !moved) {
    learn_texture(t, sharpness, std::min(1.0f, seconds / kTextureSeconds));
  }
  return step;
}

}  // namespace motiond
