// Reordering of a tile list from slice order (each vertical slice's tiles row by row, slice
// after slice) into row-major order over the whole picture.
#pragma once

#include <cstdint>

namespace imagelib {

// Tile list types: 0 AWB-like (8-byte records), 1 CFA AE, 2 RGB AE values, 3 to 6 AF-like
// lists (5 CFA AF, 6 RGB AF). Returns 0, or -1 with a message for a list it can't reorder.
int _reorder_stat_tile(int count, int slices, uint8_t* list, int type);

// The row-major index of the tile at slice-order index i.
int reorder_index(int i, int tiles_per_slice, int slice_width, int columns);

}  // namespace imagelib
