// stats_read: the statistics request and the merge of the slices.
#include "imagelib/stats_read.h"

#include <array>
#include <cstddef>

#include "imagelib/ops.h"
#include "imagelib/reorder.h"
#include "imagelib/setup.h"
#include "imagelib/stats_layout.h"

namespace imagelib {

namespace {

std::array<uint8_t, 3> own_flags;

template <typename Word>
Word address_word(const void* p) {
  return static_cast<Word>(reinterpret_cast<uintptr_t>(p));
}

template <typename Word>
bool fits(const void* p) {
  return reinterpret_cast<uintptr_t>(p) == static_cast<uintptr_t>(address_word<Word>(p));
}

// Fills the record; false when an address doesn't fit the record's words.
template <typename Word>
bool fill_request(StatisticsRequestOf<Word>* request) {
  const void* addresses[6] = {stat_ready_flags,  stat_ready_flags + 1, stat_ready_flags + 2,
                              rgb_stat_internal, cfa_stat_internal,    p_hist_statistics};
  for (const void* p : addresses) {
    if (!fits<Word>(p)) return false;
  }
  request->awb_ready = address_word<Word>(addresses[0]);
  request->ae_ready = address_word<Word>(addresses[1]);
  request->af_ready = address_word<Word>(addresses[2]);
  request->rgb_area = address_word<Word>(addresses[3]);
  request->cfa_area = address_word<Word>(addresses[4]);
  request->hist_area = address_word<Word>(addresses[5]);
  return true;
}

int issue_request(RequestLayout layout, int fd) {
  StatisticsRequest32 narrow{};
  StatisticsRequestHost wide{};
  bool filled = layout == RequestLayout::kCamera32 ? fill_request(&narrow) : fill_request(&wide);
  void* argument =
      layout == RequestLayout::kCamera32 ? static_cast<void*>(&narrow) : static_cast<void*>(&wide);
  if (!filled || _ioctl(fd, kIavIocImgGetStatistics, argument) < 0) {
    _printf("error: IAV_IOC_IMG_GET_STATISTICS error\n");
    return -1;
  }
  return 0;
}

int tile_count(const uint8_t* header, size_t columns_at, size_t rows_at) {
  return header[columns_at] * header[rows_at];
}

bool tile_size_zero(const uint8_t* header, size_t at) {
  return get_le16(header + at) == 0 || get_le16(header + at + 2) == 0;
}

// Running totals of the merged lists.
struct Totals {
  int awb = 0;
  int ae = 0;
  int af = 0;
};

// A report whose tiles don't fit the slice or the result lists is corrupt.
bool slice_fits(const uint8_t* cfa, const uint8_t* rgb, const Totals& totals) {
  const int awb = tile_count(cfa, kHdrAwbColumns, kHdrAwbRows);
  const int ae = tile_count(cfa, kHdrAeColumns, kHdrAeRows);
  const int af = tile_count(cfa, kHdrAfColumns, kHdrAfRows);
  const int rgb_af = tile_count(rgb, kHdrAfColumns, kHdrAfRows);
  int bad = -1;
  if (totals.awb + awb > kAwbRoom) bad = totals.awb + awb;
  if (totals.ae + ae > kAeRoom) bad = totals.ae + ae;
  if (totals.af + af > kAfRoom) bad = totals.af + af;
  if (kTilesOffset + rgb_af * kAfTileBytes + ae * kRgbAeValueBytes > kRgbSliceSize) bad = rgb_af;
  if (bad < 0) return true;
  _printf("Error: wrong tile num %d in %s\n", bad, "stats_read");
  return false;
}

void append_slice(const uint8_t* cfa, const uint8_t* rgb, uint8_t* rgb_result, uint8_t* cfa_result,
                  Totals* totals) {
  const int awb = tile_count(cfa, kHdrAwbColumns, kHdrAwbRows);
  const int ae = tile_count(cfa, kHdrAeColumns, kHdrAeRows);
  const int af = tile_count(cfa, kHdrAfColumns, kHdrAfRows);
  const int rgb_af = tile_count(rgb, kHdrAfColumns, kHdrAfRows);
  const uint8_t* awb_tiles = cfa + kTilesOffset;
  const uint8_t* ae_tiles = awb_tiles + awb * kAwbTileBytes;
  const uint8_t* af_tiles = ae_tiles + ae * kAeTileBytes;
  const uint8_t* rgb_ae_values = rgb + kTilesOffset + rgb_af * kAfTileBytes;
  _memcpy(cfa_result + kCfaAwbOffset + totals->awb * kAwbTileBytes, awb_tiles, awb * kAwbTileBytes);
  _memcpy(cfa_result + kCfaAeOffset + totals->ae * kAeTileBytes, ae_tiles, ae * kAeTileBytes);
  _memcpy(rgb_result + kRgbAeOffset + totals->ae * kRgbAeValueBytes, rgb_ae_values,
          ae * kRgbAeValueBytes);
  _memcpy(cfa_result + kCfaAfOffset + totals->af * kAfTileBytes, af_tiles, af * kAfTileBytes);
  _memcpy(rgb_result + kRgbAfOffset + totals->af * kAfTileBytes, rgb + kTilesOffset,
          af * kAfTileBytes);
  totals->awb += awb;
  totals->ae += ae;
  totals->af += af;
}

}  // namespace

uint8_t* stat_ready_flags = own_flags.data();

int stats_read_as(RequestLayout layout, int fd, uint8_t* rgb_result, uint8_t* cfa_result) {
  if (rgb_result == nullptr || cfa_result == nullptr || !ops_complete()) return -1;
  if (rgb_stat_internal == nullptr || cfa_stat_internal == nullptr ||
      p_hist_statistics == nullptr) {
    return -1;
  }
  if (issue_request(layout, fd) < 0) return -1;

  std::array<uint8_t, kHeaderSize> merged;
  _memcpy(merged.data(), cfa_stat_internal, kHeaderSize);
  // The slice count of the first slice's header rules the report.
  const int slices = merged[kHdrSliceCount];
  if (slices > kMaxSlices) {  // more than the areas hold: can't be merged (nor read safely)
    _printf("Error: reorder is not supported for total slice %2d.\n", slices);
    return -1;
  }
  Totals totals;
  for (int s = 0; s < slices; ++s) {
    const uint8_t* cfa = cfa_stat_internal + s * kCfaSliceSize;
    const uint8_t* rgb = rgb_stat_internal + s * kRgbSliceSize;
    if (tile_size_zero(cfa, kHdrAwbTileSize) || tile_size_zero(cfa, kHdrAeTileSize) ||
        tile_size_zero(cfa, kHdrAfTileSize)) {
      return -1;
    }
    if (!slice_fits(cfa, rgb, totals)) return -1;
    if (s >= 1) {
      merged[kHdrAwbColumns] += cfa[kHdrAwbColumns];
      merged[kHdrAeColumns] += cfa[kHdrAeColumns];
      merged[kHdrAfColumns] += cfa[kHdrAfColumns];
    }
    append_slice(cfa, rgb, rgb_result, cfa_result, &totals);
  }
  if (slices >= 2) {
    _reorder_stat_tile(totals.ae, slices, cfa_result + kCfaAeOffset, 1);
    _reorder_stat_tile(totals.ae, slices, rgb_result + kRgbAeOffset, 2);
    _reorder_stat_tile(totals.af, slices, cfa_result + kCfaAfOffset, 5);
    _reorder_stat_tile(totals.af, slices, rgb_result + kRgbAfOffset, 6);
  }
  _memcpy(cfa_result, merged.data(), kHeaderSize);
  _memcpy(rgb_result, merged.data(), kHeaderSize);
  return 0;
}

}  // namespace imagelib

int stats_read(int fd, uint8_t* rgb_result, uint8_t* cfa_result) {
  return imagelib::stats_read_as(imagelib::RequestLayout::kPointer, fd, rgb_result, cfa_result);
}
