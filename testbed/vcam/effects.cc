// The scene's effects on the picture (see effects.h).
#include "testbed/vcam/effects.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace vcam {

namespace {

constexpr int kColumns = 12, kRows = 8;

uint64_t mix(uint64_t x) {  // splitmix64
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

double unit(uint64_t r) {  // 0 to 1
  return static_cast<double>(r % 1000001) / 1000000.0;
}

bool now_on(const SceneEffect& e, double elapsed) {
  return elapsed >= e.from && elapsed < e.from + e.seconds;
}

double overlap(double a, double length, int tile) {
  return std::max(0.0, std::min(a + length, tile + 1.0) - std::max(a, static_cast<double>(tile)));
}

// The part of column c in the shadow: 0 before the front, 1 behind it, a ramp over its edge.
double shadowed(const SceneEffect& e, double elapsed, int c) {
  const double front = e.x + e.speed * std::min(elapsed - e.from, e.travel);
  const double centre = c + 0.5;
  const double behind = e.speed >= 0 ? front - centre : centre - front;
  return std::clamp(behind / std::max(e.edge, 1e-3) + 0.5, 0.0, 1.0);
}

void sparkle(const SceneEffect& e, int64_t report, std::array<double, 96>* lumas) {
  uint64_t r = mix(static_cast<uint64_t>(report) * 7717ULL + static_cast<uint64_t>(e.from * 1000));
  int n = static_cast<int>(e.count);
  if (unit(r) < e.count - n) ++n;
  const int length = std::clamp(static_cast<int>(std::ceil(e.length)), 1, kRows);
  for (int i = 0; i < n; ++i) {
    r = mix(r);
    const int column = static_cast<int>(r % kColumns);
    const int row = static_cast<int>((r >> 20) % (kRows - length + 1));
    for (int k = 0; k < length; ++k) (*lumas)[(row + k) * kColumns + column] = e.value;
  }
}

void apply(const SceneEffect& e, double elapsed, int64_t report, std::array<double, 96>* lumas) {
  for (int i = 0; i < kColumns * kRows; ++i) {
    double& tile = (*lumas)[i];
    const int c = i % kColumns, row = i / kColumns;
    switch (e.kind) {
      case EffectKind::kLamp:
        tile += e.value * overlap(e.x, e.width, c) * overlap(e.y, e.height, row);
        break;
      case EffectKind::kShadow:
        tile *= 1 + (e.value / 1000 - 1) * shadowed(e, elapsed, c);
        break;
      case EffectKind::kCover:
        tile = e.value;
        break;
      case EffectKind::kBlind:
        tile = std::max(tile, e.value);
        break;
      case EffectKind::kView:
        tile *= 1 + e.value / 1000 * (2 * unit(mix(e.seed * 104729ULL + i)) - 1);
        break;
      default:
        break;
    }
  }
  if (e.kind == EffectKind::kSparkle) sparkle(e, report, lumas);
}

}  // namespace

bool is_effect_line(const std::string& kind) {
  return kind == "lamp" || kind == "shadow" || kind == "sparkle" || kind == "cover" ||
         kind == "blind" || kind == "smear" || kind == "view";
}

std::vector<SceneEffect> parse_effects(const std::string& text) {
  std::vector<SceneEffect> effects;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind;
    SceneEffect e;
    if (!(words >> kind) || !is_effect_line(kind)) continue;
    bool ok = false;
    if (kind == "lamp") {
      e.kind = EffectKind::kLamp;
      ok = static_cast<bool>(words >> e.from >> e.seconds >> e.x >> e.y >> e.width >> e.height >>
                             e.value);
    } else if (kind == "shadow") {
      e.kind = EffectKind::kShadow;
      ok = static_cast<bool>(words >> e.from >> e.seconds >> e.x >> e.speed >> e.edge >> e.value);
      e.travel = e.seconds;
      e.seconds = 1e9;  // the front holds where it stopped
    } else if (kind == "sparkle") {
      e.kind = EffectKind::kSparkle;
      ok = static_cast<bool>(words >> e.from >> e.seconds >> e.count >> e.length >> e.value);
    } else if (kind == "cover" || kind == "blind") {
      e.kind = kind == "cover" ? EffectKind::kCover : EffectKind::kBlind;
      e.value = kind == "cover" ? 0 : 1000;
      ok = static_cast<bool>(words >> e.from >> e.seconds);
      double luma;
      if (ok && words >> luma) e.value = luma;
    } else if (kind == "smear") {
      e.kind = EffectKind::kSmear;
      ok = static_cast<bool>(words >> e.from >> e.seconds >> e.value);
    } else {
      e.kind = EffectKind::kView;
      ok = static_cast<bool>(words >> e.from >> e.seed >> e.value);
    }
    if (ok) effects.push_back(e);
  }
  // A view lasts until the next one.
  for (size_t i = 0; i < effects.size(); ++i) {
    if (effects[i].kind != EffectKind::kView) continue;
    for (size_t j = i + 1; j < effects.size(); ++j) {
      if (effects[j].kind == EffectKind::kView && effects[j].from > effects[i].from) {
        effects[i].seconds = effects[j].from - effects[i].from;
        break;
      }
    }
  }
  return effects;
}

void apply_effects(const std::vector<SceneEffect>& effects, bool view, double elapsed,
                   int64_t report, std::array<double, 96>* lumas) {
  for (const SceneEffect& e : effects) {
    if ((e.kind == EffectKind::kView) == view && now_on(e, elapsed)) {
      apply(e, elapsed, report, lumas);
    }
  }
}

Texture texture_at(const std::vector<SceneEffect>& effects, double elapsed) {
  Texture t;
  for (const SceneEffect& e : effects) {
    if (!now_on(e, elapsed)) continue;
    if (e.kind == EffectKind::kSmear) t.gain *= e.value / 1000;
    if (e.kind == EffectKind::kCover) t.gain *= 0.02;
    if (e.kind == EffectKind::kBlind) t.gain /= 3;
    if (e.kind == EffectKind::kView) t.view = e.seed;
  }
  return t;
}

}  // namespace vcam
