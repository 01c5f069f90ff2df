// Building the virtual statistics report.
#include "testbed/vcam/slices.h"

#include <algorithm>
#include <cstring>

#include "imagelib/stats_layout.h"

namespace vcam {

namespace {

using namespace imagelib;

constexpr int kAwbColumns = 32, kAwbRows = 32;
constexpr int kAfColumns = 16, kAfRows = 16;

uint64_t mix(uint64_t x) {  // splitmix64
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

// Slice geometry: each slice is a vertical strip of whole tile columns.
struct Strip {
  int awb, ae, af;  // columns per slice
};
Strip strip_of(int slices) {
  const int n = std::min(slices, kMaxSlices);
  return {kAwbColumns / n, kAeColumns / n, kAfColumns / n};
}

void put_tile(uint8_t* at, uint16_t a, uint16_t b, uint16_t c) {
  put_le16(at, a);
  put_le16(at + 2, b);
  put_le16(at + 4, c);
}

void write_header(uint8_t* h, const Optics& optics, const Strip& strip) {
  std::memset(h, 0, kHeaderSize);
  put_le16(h + kHdrAwbTileSize, 60);
  put_le16(h + kHdrAwbTileSize + 2, 34);
  put_le16(h + kHdrAeTileSize, optics.ae_tile_zero ? 0 : 160);
  put_le16(h + kHdrAeTileSize + 2, 135);
  put_le16(h + kHdrAfTileSize, 120);
  put_le16(h + kHdrAfTileSize + 2, 67);
  h[kHdrAwbColumns] = static_cast<uint8_t>(strip.awb);
  h[kHdrAwbRows] = kAwbRows;
  h[kHdrAeColumns] = static_cast<uint8_t>(strip.ae);
  h[kHdrAeRows] = kAeRows;
  h[kHdrAfColumns] = static_cast<uint8_t>(strip.af);
  h[kHdrAfRows] = kAfRows;
  h[kHdrSliceCount] = static_cast<uint8_t>(optics.slices);
}

uint16_t ae_value(double luma, int column, int row, double noise) {
  // Every tile keeps the luma in its upper bits; the low six bits vary across the picture.
  const double value = std::clamp(luma, 0.0, 1023.0) * 64 + (row * kAeColumns + column) * 7 % 64;
  return static_cast<uint16_t>(std::clamp(value + noise, 0.0, 65535.0));
}

// Sensor noise of a tile in a report: -1 to 1, more often near 0 (the sum of two uniforms).
double noise_unit(const Optics& o, int tile, int64_t report) {
  const uint64_t r = mix(mix(o.seed * 7919ULL + static_cast<uint64_t>(report)) + tile);
  return (static_cast<double>(r % 2001) + static_cast<double>((r >> 32) % 2001)) / 2000.0 - 1.0;
}

// The part of a tile's light the filter's night side passes: night_gain per mille on the
// average, more or less for each tile as its surfaces reflect infrared (0.7 to 1.3 of it).
double night_part(const Optics& o, int tile) {
  if (o.night_gain == 1000) return 1;
  const double reflect = static_cast<double>(mix(o.seed * 31ULL + tile) % 1001) / 1000;
  return o.night_gain / 1000.0 * (0.7 + 0.6 * reflect);
}

double overlap(double a, double length, int tile) {
  return std::max(0.0, std::min(a + length, tile + 1.0) - std::max(a, static_cast<double>(tile)));
}

}  // namespace

int tile_sharpness(const Optics& o, int column, int row, int64_t focus, int64_t report,
                   uint32_t view) {
  const uint64_t tile = static_cast<uint64_t>(row * kAfColumns + column);
  const uint64_t pattern = mix(o.seed * 1000003ULL + tile + view * 0x51ED27ULL);
  const double spread = static_cast<double>(pattern % 1001) / 1000.0;
  const double texture = o.texture_min + (o.texture_max - o.texture_min) * spread;
  double focus_gain = 1.0;
  if (!o.flat) {
    const double off = static_cast<double>(focus - o.true_focus) / o.width;
    focus_gain = o.blur_floor / 1000.0 + (1.0 - o.blur_floor / 1000.0) / (1.0 + off * off);
  }
  double value = texture * focus_gain;
  if (o.noise > 0) {
    const uint64_t r = mix(mix(o.seed + static_cast<uint64_t>(report)) + tile);
    const double unit = static_cast<double>(r % 2001) / 1000.0 - 1.0;  // -1 to 1
    value += value * unit * o.noise / 1000.0;
  }
  return std::clamp(static_cast<int>(value), 0, 65535);
}

AeLumas picture_lumas(const SceneNow& scene, int64_t report) {
  AeLumas lumas;
  lumas.fill(scene.luma);
  apply_effects(scene.effects, true, scene.elapsed, report, &lumas);
  for (const SceneObject& o : scene.objects) {
    const double t = scene.elapsed - o.from;
    if (t < 0 || t >= o.seconds) continue;
    const double x = o.x + o.speed_x * t, y = o.y + o.speed_y * t;
    for (int row = 0; row < kAeRows; ++row) {
      for (int c = 0; c < kAeColumns; ++c) {
        const double cover = overlap(x, o.width, c) * overlap(y, o.height, row);
        double& tile = lumas[row * kAeColumns + c];
        tile += (o.luma - tile) * cover;
      }
    }
  }
  apply_effects(scene.effects, false, scene.elapsed, report, &lumas);
  return lumas;
}

void fill_report(const Optics& optics, int luma, int64_t focus, int64_t report, uint8_t* cfa_area,
                 uint8_t* rgb_area) {
  SceneNow scene;
  scene.luma = luma;
  fill_report(optics, scene, Filter::kDay, focus, report, cfa_area, rgb_area);
}

void fill_report(const Optics& optics, const SceneNow& scene, Filter filter, int64_t focus,
                 int64_t report, uint8_t* cfa_area, uint8_t* rgb_area) {
  const bool night = filter == Filter::kNight;
  const AeLumas lumas = picture_lumas(scene, report);
  const Texture texture = texture_at(scene.effects, scene.elapsed);
  const uint16_t colour[5] = {560, 512, 470, 512, 512};
  const Strip strip = strip_of(optics.slices);
  for (int s = 0; s < std::min(optics.slices, kMaxSlices); ++s) {
    uint8_t* cfa = cfa_area + s * kCfaSliceSize;
    uint8_t* rgb = rgb_area + s * kRgbSliceSize;
    write_header(cfa, optics, strip);
    std::memcpy(rgb, cfa, kHeaderSize);
    uint8_t* at = cfa + kTilesOffset;
    for (int row = 0; row < kAwbRows; ++row) {
      for (int c = 0; c < strip.awb; ++c, at += kAwbTileBytes) {
        for (int v = 0; v < 5; ++v) put_le16(at + 2 * v, night ? 512 : colour[v]);
      }
    }
    uint8_t* rgb_ae = rgb + kTilesOffset + strip.af * kAfRows * kAfTileBytes;
    for (int row = 0; row < kAeRows; ++row) {
      for (int c = 0; c < strip.ae; ++c, at += kAeTileBytes, rgb_ae += kRgbAeValueBytes) {
        const int column = s * strip.ae + c, tile = row * kAeColumns + column;
        const double noise = optics.luma_noise * noise_unit(optics, tile, report);
        const double gain = night ? night_part(optics, tile) : 1.0;
        const uint16_t value = ae_value(lumas[tile] * gain, column, row, noise);
        put_tile(at, value, 256, 256);
        put_le16(rgb_ae, value);
      }
    }
    uint8_t* rgb_af = rgb + kTilesOffset;
    for (int row = 0; row < kAfRows; ++row) {
      for (int c = 0; c < strip.af; ++c, at += kAfTileBytes, rgb_af += kAfTileBytes) {
        const int sharp = static_cast<int>(
            tile_sharpness(optics, s * strip.af + c, row, focus, report, texture.view) *
            texture.gain);
        put_tile(at, 512, 512, static_cast<uint16_t>(sharp));
        put_tile(rgb_af, 512, 512, static_cast<uint16_t>(sharp));
      }
    }
  }
}

}  // namespace vcam
