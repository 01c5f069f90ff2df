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
constexpr int32_t kAbsorbMs = 60000;     // a tile standing out this long becomes background
constexpr float kPart = 0.5f;            // a tile "stands out" past this part of its threshold
constexpr float kChangePart = 0.5f;      // and "changed" when it moved by this part of it
constexpr int64_t kStillMs = 1600;       // standing out, unchanged this long: background
constexpr int64_t kFreshMs = 200;        // a tile that changed this recently is not a step's
constexpr int kPersisted = 2;            // tiles of a group that stood out in the last sample
constexpr int kFollowed = 2;             // samples a group is followed before it is motion
constexpr int kGap = 1;                  // samples without it that do not end it
constexpr float kPartMost = 2;           // what one tile adds to a group's evidence at most
constexpr int kMovedShare = 3;           // a group moves when a third of it changed lately
constexpr float kNoiseClip = 3;          // a deviation counts at most this many noise levels

using Values = std::array<float, kTiles>;

float median(const Tiles& tiles) {
  std::array<uint16_t, kTiles> sorted = tiles;
  std::nth_element(sorted.begin(), sorted.begin() + kTiles / 2, sorted.end());
  return std::max(kFloorLuma, static_cast<float>(sorted[kTiles / 2]));
}

// Takes out what moved every tile alike: the median of the tiles' ratios to their background
// (a large object that shifts the frame's median moves fewer than half of them).
void level(const Values& background, Values* relative) {
  Values ratio;
  for (int i = 0; i < kTiles; ++i) ratio[i] = (*relative)[i] / std::max(background[i], 1e-3f);
  std::nth_element(ratio.begin(), ratio.begin() + kTiles / 2, ratio.end());
  const float gain = std::max(ratio[kTiles / 2], 1e-3f);
  for (float& value : *relative) value /= gain;
}

void relearn(Detector* d, const Values& relative, int64_t now_ms) {
  d->background = relative;
  d->still_value = relative;
  d->changed_ms.fill(now_ms);
  d->moving_ms.fill(0);
  d->last_sign.fill(0);
  d->last_group.fill(false);
  if (!d->learnt) d->noise.fill(kNoiseStart);
  d->learnt = true;
}

// How each tile stands out: its deviation in parts of its threshold, with its sign.
struct Standing {
  std::array<float, kTiles> part{};
  std::array<int8_t, kTiles> sign{};
  Cells out{};     // past kPart of the threshold
  Cells active{};  // past the threshold
};

Standing standing(const Detector& d, const Settings& s, const Values& relative) {
  Standing st;
  for (int i = 0; i < kTiles; ++i) {
    const float deviation = relative[i] - d.background[i];
    st.part[i] = std::fabs(deviation) / threshold(d.noise[i], s.sensitivity);
    st.sign[i] = deviation < 0 ? -1 : 1;
    st.out[i] = s.cells[i] && st.part[i] >= kPart;
    st.active[i] = s.cells[i] && st.part[i] >= 1;
  }
  return st;
}

// Labels the 4-adjacent groups of set cells (1, 2, ...; 0 for unset); returns their count.
int label_groups(const Cells& set, std::array<uint8_t, kTiles>* label) {
  label->fill(0);
  std::array<int, kTiles> stack;
  int groups = 0;
  for (int start = 0; start < kTiles; ++start) {
    if (!set[start] || (*label)[start] != 0) continue;
    const auto id = static_cast<uint8_t>(++groups);
    int top = 0;
    stack[top++] = start;
    (*label)[start] = id;
    while (top > 0) {
      const int i = stack[--top];
      const int row = i / kColumns, column = i % kColumns;
      const int next[4] = {column > 0 ? i - 1 : -1, column < kColumns - 1 ? i + 1 : -1,
                           row > 0 ? i - kColumns : -1, row < kRows - 1 ? i + kColumns : -1};
      for (int n : next) {
        if (n < 0 || !set[n] || (*label)[n] != 0) continue;
        (*label)[n] = id;
        stack[top++] = n;
      }
    }
  }
  return groups;
}

// Notes which tiles changed since they last did. A group of tiles that stand out, at least
// half of which have not changed for kStillMs, is a step that holds still (a lamp, a parked
// car, a person who stopped): its active tiles are background at once, the rest is learnt as
// usual; unless it is the group that moves (the middle of a long, slow object), and but for
// tiles that changed within kFreshMs (something new beside it).
int follow_changes(Detector* d, const Settings& s, const Values& relative, Standing* st,
                   int64_t now_ms) {
  Cells still{};
  for (int i = 0; i < kTiles; ++i) {
    const float limit = kChangePart * threshold(d->noise[i], s.sensitivity);
    if (std::fabs(relative[i] - d->still_value[i]) > limit) {
      d->still_value[i] = relative[i];
      d->changed_ms[i] = now_ms;
    }
    const bool carried = d->last_group[i] && d->group_moving;
    still[i] = st->out[i] && !carried && now_ms - d->changed_ms[i] >= kStillMs;
  }
  std::array<uint8_t, kTiles> label;
  const int groups = label_groups(st->out, &label);
  std::array<int, kTiles + 1> size{}, quiet{};
  for (int i = 0; i < kTiles; ++i) {
    size[label[i]]++;
    quiet[label[i]] += still[i] ? 1 : 0;
  }
  int absorbed = 0;
  for (int i = 0; i < kTiles && groups > 0; ++i) {
    const int id = label[i];
    if (id == 0 || quiet[id] == 0 || 2 * quiet[id] < size[id]) continue;
    if (!still[i] && now_ms - d->changed_ms[i] < kFreshMs) continue;  // something new beside it
    if (st->active[i]) {
      d->background[i] = relative[i];
      d->moving_ms[i] = 0;
      ++absorbed;
    }
    st->out[i] = st->active[i] = false;
  }
  return absorbed;
}

// Background and noise follow the frame: fast while quiet, slowly otherwise and then only where
// the tile does not stand out (nothing that passed part of the threshold is learnt; a tile
// standing out for a minute is taken as the new background). The noise level counts each
// deviation up to kNoiseClip levels, so a streak or a passing object does not raise it.
void learn(Detector* d, const Values& relative, const Cells& out, bool quiet, int interval_ms) {
  const float seconds = static_cast<float>(interval_ms) / 1000;
  const float b_rate = quiet ? kQuietRate : std::min(1.0f, seconds / kBackgroundSeconds);
  const float n_rate = quiet ? kQuietRate : std::min(1.0f, seconds / kNoiseSeconds);
  for (int i = 0; i < kTiles; ++i) {
    const float deviation = relative[i] - d->background[i];
    if (out[i] && !quiet) {
      d->moving_ms[i] += interval_ms;
      if (d->moving_ms[i] < kAbsorbMs) continue;
      d->background[i] = relative[i];
      d->moving_ms[i] = 0;
      continue;
    }
    d->moving_ms[i] = 0;
    d->background[i] += b_rate * deviation;
    const float counted =
        quiet ? std::fabs(deviation) : std::min(std::fabs(deviation), kNoiseClip * d->noise[i]);
    d->noise[i] += n_rate * (counted - d->noise[i]);
  }
}

// Whether cell i overlaps or touches (sides or corners) a cell of the group.
bool near_group(const Cells& group, int i) {
  const int row = i / kColumns, column = i % kColumns;
  for (int r = std::max(0, row - 1); r <= std::min(kRows - 1, row + 1); ++r) {
    for (int c = std::max(0, column - 1); c <= std::min(kColumns - 1, column + 1); ++c) {
      if (group[r * kColumns + c]) return true;
    }
  }
  return false;
}

// What one group of tiles that stand out is.
struct Group {
  int size = 0, persisted = 0;
  float evidence = 0;  // its tiles' parts of their thresholds (each counted up to kPartMost)
  bool continues = false;
  int rows = 0, columns = 0;  // bits of the rows and columns it reaches
};

// The group to follow: among those of MinCount tiles, with the evidence of MinCount active
// ones (a faint object spread over more tiles than it fills counts too) and kPersisted tiles
// that stood out in the last sample too (a streak lasting one sample has none), the largest
// that continues the last sample's group, else the largest.
int choose_group(const Detector& d, const Settings& s, const Standing& st,
                 const std::array<uint8_t, kTiles>& label, int groups,
                 std::array<Group, kTiles>* g) {
  for (int i = 0; i < kTiles; ++i) {
    if (label[i] == 0) continue;
    Group& group = (*g)[label[i]];
    group.size++;
    group.persisted += d.last_sign[i] == st.sign[i] ? 1 : 0;
    group.evidence += std::min(st.part[i], kPartMost);
    group.continues = group.continues || near_group(d.last_group, i);
    group.rows |= 1 << (i / kColumns);
    group.columns |= 1 << (i % kColumns);
  }
  int best = 0;
  for (int id = 1; id <= groups; ++id) {
    const Group& group = (*g)[id];
    if (group.size < s.min_count || group.evidence < static_cast<float>(s.min_count) ||
        group.persisted < kPersisted)
      continue;
    const Group* now = best ? &(*g)[best] : nullptr;
    if (now == nullptr || (group.continues && !now->continues) ||
        (group.continues == now->continues && group.size > now->size))
      best = id;
  }
  return best;
}

// The on and off delays: the state turns true when the followed group has moved for the on
// delay since it began, and false after the off delay without.
void delay(Detector* d, const Settings& s, bool raw, int64_t since_ms, int64_t now_ms) {
  if (raw) {
    d->calm_since_ms = -1;
    if (!d->motion && now_ms - since_ms >= s.on_delay_ms) d->motion = true;
  } else {
    if (d->calm_since_ms < 0) d->calm_since_ms = now_ms;
    if (d->motion && now_ms - d->calm_since_ms >= s.off_delay_ms) d->motion = false;
  }
}

// Follows the group from sample to sample; true when it is motion: it has been followed for
// kFollowed samples (each continuing the last one's), enough of its tiles changed lately (and
// since it began), and it does not reach from one side of the picture to the other.
bool follow(Detector* d, const Settings& s, const Standing& st, int64_t now_ms, int interval_ms,
            Step* step) {
  std::array<uint8_t, kTiles> label;
  const int groups = label_groups(st.out, &label);
  std::array<Group, kTiles> g{};
  const int best = choose_group(*d, s, st, label, groups, &g);
  for (int i = 0; i < kTiles; ++i) d->last_sign[i] = st.out[i] ? st.sign[i] : 0;
  for (int id = 1; id <= groups; ++id) {
    if (g[id].evidence >= 1) step->largest = std::max(step->largest, g[id].size);
  }
  d->group_moving = false;
  if (best == 0) {
    // A faint object may fall short for a sample: it is followed on over one such gap.
    if (++d->gap > kGap) {
      d->last_group.fill(false);
      d->raw_since_ms = -1;
      d->followed = 0;
    }
    return false;
  }
  d->gap = 0;
  const Group& group = g[best];
  // Its tiles stood out in the last sample too: it began then.
  if (!group.continues || d->raw_since_ms < 0) {
    d->raw_since_ms = now_ms - interval_ms;
    d->followed = 0;
  }
  d->followed++;
  // It moved when enough of its tiles changed (by part of their threshold) in this sample or
  // the last, since it began: one, or a third of a large group (noise alone changes a few
  // tiles of a large still patch at night).
  int changed = 0;
  for (int i = 0; i < kTiles; ++i) {
    d->last_group[i] = label[i] == best;
    const bool lately =
        d->changed_ms[i] > d->raw_since_ms && now_ms - d->changed_ms[i] <= interval_ms;
    changed += d->last_group[i] && lately ? 1 : 0;
  }
  const bool moving = changed >= std::max(1, group.size / kMovedShare);
  constexpr int kAllRows = (1 << kRows) - 1, kAllColumns = (1 << kColumns) - 1;
  step->front = group.rows == kAllRows || group.columns == kAllColumns;
  step->moving = d->group_moving = moving;
  return moving && !step->front && d->followed >= kFollowed;
}

}  // namespace

float threshold(float noise, int sensitivity) {
  const float dull = static_cast<float>(100 - std::clamp(sensitivity, 0, 100));
  return (2.5f + dull * 0.065f) * noise + 0.02f + dull * 0.0006f;
}

int largest_group(const Cells& active) {
  std::array<uint8_t, kTiles> label;
  const int groups = label_groups(active, &label);
  std::array<int, kTiles + 1> size{};
  for (int i = 0; i < kTiles; ++i) size[label[i]] += label[i] ? 1 : 0;
  return groups == 0 ? 0 : *std::max_element(size.begin() + 1, size.begin() + groups + 1);
}

Step detect(Detector* d, const Settings& s, const Tiles& tiles, int64_t now_ms, int interval_ms,
            bool day_night_switch) {
  const float mid = median(tiles);
  Values relative;
  for (int i = 0; i < kTiles; ++i) relative[i] = static_cast<float>(tiles[i]) / mid;
  if (d->learnt) level(d->background, &relative);
  Step step;
  const bool jump = d->learnt && std::fabs(mid - d->last_median) > kSceneJump * d->last_median;
  d->last_median = mid;
  if (day_night_switch) d->quiet_until_ms = std::max(d->quiet_until_ms, now_ms + s.switch_quiet_ms);

  Standing st = standing(*d, s, relative);
  for (int i = 0; i < kTiles && d->learnt; ++i) step.active += st.active[i] ? 1 : 0;
  bool raw = false;
  if (!d->learnt || jump || step.active >= kSceneTiles) {
    relearn(d, relative, now_ms);
    d->quiet_until_ms = std::max(d->quiet_until_ms, now_ms + s.scene_quiet_ms);
    step.quiet = true;
  } else {
    step.quiet = now_ms < d->quiet_until_ms;
    if (step.quiet) {
      st.out.fill(false);
      d->still_value = relative;
      d->changed_ms.fill(now_ms);
      d->last_sign.fill(0);
      d->last_group.fill(false);
    }
    step.absorbed = follow_changes(d, s, relative, &st, now_ms);
    learn(d, relative, st.out, step.quiet, interval_ms);
    if (!step.quiet) raw = follow(d, s, st, now_ms, interval_ms, &step);
  }
  if (step.quiet) d->raw_since_ms = -1;
  const bool was = d->motion;
  delay(d, s, raw, d->raw_since_ms, now_ms);
  step.motion = d->motion;
  step.changed = d->motion != was;
  return step;
}

}  // namespace motiond
