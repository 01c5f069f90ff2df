// The virtual driver's statistics report: the picture's AE, AWB and AF tiles cut into
// vertical slices laid out as the camera's driver delivers them.
#pragma once

#include <cstdint>

#include "testbed/vcam/config.h"

namespace vcam {

// The sharpness (third AF field) of picture tile (column, row) with the lens at focus, for
// report number report (the noise differs from report to report, reproducibly).
int tile_sharpness(const Optics& optics, int column, int row, int64_t focus, int64_t report);

// Writes one report into the driver's areas (CFA: 4 x 15872 bytes, RGB: 4 x 5120 bytes).
void fill_report(const Optics& optics, int luma, int64_t focus, int64_t report, uint8_t* cfa_area,
                 uint8_t* rgb_area);

}  // namespace vcam
