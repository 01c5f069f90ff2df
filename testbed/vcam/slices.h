// The virtual driver's statistics report: the picture's AE, AWB and AF tiles cut into
// vertical slices laid out as the camera's driver delivers them.
#pragma once

#include <array>
#include <cstdint>

#include "testbed/vcam/config.h"
#include "testbed/vcam/store.h"

namespace vcam {

// The sharpness (third AF field) of picture tile (column, row) with the lens at focus, for
// report number report (the noise differs from report to report, reproducibly).
// view: the view's seed (0: the camera's own; another view has another texture pattern).
int tile_sharpness(const Optics& optics, int column, int row, int64_t focus, int64_t report,
                   uint32_t view = 0);

constexpr int kAeColumns = 12, kAeRows = 8;
using AeLumas = std::array<double, kAeColumns * kAeRows>;

// The luma of each AE tile (row-major) of the scene now: its light through the view, over it
// each object present, in proportion to the part of the tile the object covers, then the other
// effects (report: the report number, for the sparkles).
AeLumas picture_lumas(const SceneNow& scene, int64_t report = 0);

// Writes one report into the driver's areas (CFA: 4 x 15872 bytes, RGB: 4 x 5120 bytes): the
// scene's picture through the filter (its night side lets about night_gain per mille of the
// light through, more or less for each tile, and turns the colour grey), with the sensor's noise on
// every AE tile.
void fill_report(const Optics& optics, const SceneNow& scene, Filter filter, int64_t focus,
                 int64_t report, uint8_t* cfa_area, uint8_t* rgb_area);
// The same for a plain scene of one luma, through the day side.
void fill_report(const Optics& optics, int luma, int64_t focus, int64_t report, uint8_t* cfa_area,
                 uint8_t* rgb_area);

}  // namespace vcam
