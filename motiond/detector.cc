// The motion decision.
#include "motiond/detector.h"

#include <algorithm>
#include <cmath>

namespace motiond {

namespace {

constexpr float kFloorLuma = 16;         // 1/4 luma step: the median of a black picture
constexpr float kSceneJump = 0.2f;       // the median moved by a fifth: the light changed
constexpr int kSceneTiles = kTiles / 2;  // half the tiles active at once: the scene changed
constexpr float kNoiseStart = 0.01f;
constexpr float kBackgroundSeconds = 2;  // time constant of the background's drift
constexpr float kNoiseSeconds = 10;      // and of the noise level's
constexpr float kQuietRate = 0.3f;       // both follow fast while quiet
constexpr int32_t kAbsorbMs = 60000;     // a tile active this long becomes background

using Values = std::array<float, kTiles>;

float median(const Tiles& tiles) {
  std::array<uint16_t, kTiles> sorted = tiles;
  std::nth_element(sorted.begin(), sorted.begin() + kTiles / 2, sorted.end());
  return std::max(kFloorLuma, static_cast<float>(sorted[kTiles / 2]));
}

void relearn(Detector* d, const Values& relative) {
  d->background = relative;
  d->moving_ms.fill(0);
  if (!d->learnt) d->noise.fill(kNoiseStart);
  d->learnt = true;
}

// Background and noise follow the frame: fast while quiet, slowly otherwise and then only
// where the tile does not move (a moving tile's background stays until it has been moving
// for a minute, when it is taken as the new background).
void learn(Detector* d, const Values& relative, const Cells& active, bool quiet, int interval_ms) {
  const float seconds = static_cast<float>(interval_ms) / 1000;
  const float b_rate = quiet ? kQuietRate : std::min(1.0f, seconds / kBackgroundSeconds);
  const float n_rate = quiet ? kQuietRate : std::min(1.0f, seconds / kNoiseSeconds);
  for (int i = 0; i < kTiles; ++i) {
    const float deviation = relative[i] - d->background[i];
    if (active[i] && !quiet) {
      d->moving_ms[i] += interval_ms;
      if (d->moving_ms[i] < kAbsorbMs) continue;
      d->background[i] = relative[i];
      d->moving_ms[i] = 0;
      continue;
    }
    d->moving_ms[i] = 0;
    d->background[i] += b_rate * deviation;
    d->noise[i] += n_rate * (std::fabs(deviation) - d->noise[i]);
  }
}

// The on and off delays over the samples' raw motion.
void delay(Detector* d, const Settings& s, bool raw, int64_t now_ms) {
  if (raw) {
    d->calm_since_ms = -1;
    if (d->raw_since_ms < 0) d->raw_since_ms = now_ms;
    if (!d->motion && now_ms - d->raw_since_ms >= s.on_delay_ms) d->motion = true;
  } else {
    d->raw_since_ms = -1;
    if (d->calm_since_ms < 0) d->calm_since_ms = now_ms;
    if (d->motion && now_ms - d->calm_since_ms >= s.off_delay_ms) d->motion = false;
  }
}

}  // namespace

float threshold(float noise, int sensitivity) {
  const float dull = static_cast<float>(100 - std::clamp(sensitivity, 0, 100));
  return (2.5f + dull * 0.065f) * noise + 0.02f + dull * 0.0006f;
}

int largest_group(const Cells& active) {
  Cells seen{};
  std::array<int, kTiles> stack;
  int largest = 0;
  for (int start = 0; start < kTiles; ++start) {
    if (!active[start] || seen[start]) continue;
    int size = 0, top = 0;
    stack[top++] = start;
    seen[start] = true;
    while (top > 0) {
      const int i = stack[--top];
      ++size;
      const int row = i / kColumns, column = i % kColumns;
      const int next[4] = {column > 0 ? i - 1 : -1, column < kColumns - 1 ? i + 1 : -1,
                           row > 0 ? i - kColumns : -1, row < kRows - 1 ? i + kColumns : -1};
      for (int n : next) {
        if (n < 0 || !active[n] || seen[n]) continue;
        seen[n] = true;
        stack[top++] = n;
      }
    }
    largest = std::max(largest, size);
  }
  return largest;
}

Step detect(Detector* d, const Settings& s, const Tiles& tiles, int64_t now_ms, int interval_ms,
            bool day_night_switch) {
  const float mid = median(tiles);
  Values relative;
  for (int i = 0; i < kTiles; ++i) relative[i] = static_cast<float>(tiles[i]) / mid;
  Step step;
  const bool jump = d->learnt && std::fabs(mid - d->last_median) > kSceneJump * d->last_median;
  d->last_median = mid;
  if (day_night_switch) d->quiet_until_ms = std::max(d->quiet_until_ms, now_ms + s.switch_quiet_ms);

  Cells active{};
  for (int i = 0; i < kTiles && d->learnt; ++i) {
    const float deviation = std::fabs(relative[i] - d->background[i]);
    active[i] = s.cells[i] && deviation > threshold(d->noise[i], s.sensitivity);
    step.active += active[i] ? 1 : 0;
  }
  if (!d->learnt || jump || step.active >= kSceneTiles) {
    relearn(d, relative);
    d->quiet_until_ms = std::max(d->quiet_until_ms, now_ms + s.scene_quiet_ms);
    step.quiet = true;
  } else {
    step.quiet = now_ms < d->quiet_until_ms;
    learn(d, relative, active, step.quiet, interval_ms);
    if (!step.quiet) step.largest = largest_group(active);
  }
  const bool was = d->motion;
  delay(d, s, !step.quiet && step.largest >= s.min_count, now_ms);
  step.motion = d->motion;
  step.changed = d->motion != was;
  return step;
}

}  // namespace motiond
