// Reordering of sliced tile lists into row-major order.
#include "imagelib/reorder.h"

#include <cstddef>

#include "imagelib/ops.h"
#include "imagelib/stats_layout.h"

namespace imagelib {

namespace {

struct ListShape {
  size_t record_bytes;
  int tiles;
  int columns;
};

ListShape shape_of(int type, int slices) {
  if (type == 0) return {8, 96, 12};
  if (type == 1) return {6, 96, 12};
  if (type == 2) return {2, 96, 12};
  if (slices == 3) return {6, 240, 15};
  return {6, 256, 16};
}

}  // namespace

int reorder_index(int i, int tiles_per_slice, int slice_width, int columns) {
  return (i % tiles_per_slice) / slice_width * columns + (i / tiles_per_slice) * slice_width +
         (i % slice_width);
}

int _reorder_stat_tile(int count, int slices, uint8_t* list, int type) {
  if (list == nullptr) return -1;
  if (type < 0 || type > 6) {
    _printf("Error: not supported type %d in %s\n", type, "_reorder_stat_tile");
    return -1;
  }
  // The areas hold at most four slices; other counts have no slice geometry.
  if (slices < 1 || slices > kMaxSlices) {
    _printf("Error: reorder is not supported for total slice %2d.\n", slices);
    return -1;
  }
  const ListShape shape = shape_of(type, slices);
  if (count != shape.tiles) {
    _printf("Error: wrong tile num %d in %s\n", count, "_reorder_stat_tile");
    return -1;
  }
  const size_t bytes = static_cast<size_t>(count) * shape.record_bytes;
  auto* work = static_cast<uint8_t*>(_malloc(bytes));
  if (work == nullptr) {
    _printf("Error: invalid pointer in %s\n", "_reorder_stat_tile");
    return -1;
  }
  _memset(work, 0, bytes);
  const int per_slice = shape.tiles / slices;
  const int width = shape.columns / slices;
  for (int i = 0; i < count; ++i) {
    const int to = reorder_index(i, per_slice, width, shape.columns);
    if (to < 0 || to >= count) continue;  // cannot happen for one to four slices
    _memcpy(work + to * shape.record_bytes, list + i * shape.record_bytes, shape.record_bytes);
  }
  _memcpy(list, work, bytes);
  _free(work);
  return 0;
}

}  // namespace imagelib
