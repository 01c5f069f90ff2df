// Where things sit in the driver's statistics slices and in the merged results, and the
// record of the statistics request. All tile values are little-endian 16-bit fields.
#pragma once

#include <cstddef>
#include <cstdint>

namespace imagelib {

// The request number of IAV_IOC_IMG_GET_STATISTICS.
constexpr unsigned long kIavIocImgGetStatistics = 0x80047002UL;

constexpr int kMaxSlices = 4;
constexpr size_t kCfaSliceSize = 15872;
constexpr size_t kRgbSliceSize = 5120;
constexpr size_t kRgbAreaSize = kMaxSlices * kRgbSliceSize;  // rgb_stat_internal: 20480
constexpr size_t kCfaAreaSize = kMaxSlices * kCfaSliceSize;  // cfa_stat_internal: 63488
constexpr size_t kHistAreaSize = 66560;                      // p_hist_statistics

// Header of a slice (the same form in both flavours) and of a merged result.
constexpr size_t kHeaderSize = 128;
constexpr size_t kHdrAwbTileSize = 8;  // two 16-bit values at 8 and 10
constexpr size_t kHdrAeTileSize = 22;  // at 22 and 24
constexpr size_t kHdrAfTileSize = 38;  // at 38 and 40
constexpr size_t kHdrAwbColumns = 46, kHdrAwbRows = 47;
constexpr size_t kHdrAeColumns = 48, kHdrAeRows = 49;
constexpr size_t kHdrAfColumns = 50, kHdrAfRows = 51;
constexpr size_t kHdrSliceCount = 52;

// Tiles start at byte 130 of a slice and of a result.
constexpr size_t kTilesOffset = 130;
constexpr size_t kAwbTileBytes = 10;
constexpr size_t kAeTileBytes = 6;
constexpr size_t kAfTileBytes = 6;
constexpr size_t kRgbAeValueBytes = 2;

// The CFA result (14980 bytes).
constexpr size_t kCfaResultSize = 14980;
constexpr size_t kCfaAwbOffset = 130;
constexpr size_t kCfaAeOffset = 10370;
constexpr size_t kCfaAfOffset = 10946;
constexpr size_t kCfaHistOffset = 12484;
constexpr int kAwbRoom = 1024;
constexpr int kAeRoom = 96;
constexpr int kAfRoom = 256;

// The RGB result (3460 bytes).
constexpr size_t kRgbResultSize = 3460;
constexpr size_t kRgbAfOffset = 130;
constexpr size_t kRgbAeOffset = 1666;
constexpr size_t kRgbHistOffset = 1860;

static_assert(kCfaAwbOffset + kAwbRoom * kAwbTileBytes == kCfaAeOffset);
static_assert(kCfaAeOffset + kAeRoom * kAeTileBytes == kCfaAfOffset);
static_assert(kCfaAfOffset + kAfRoom * kAfTileBytes <= kCfaHistOffset);
static_assert(kRgbAfOffset + kAfRoom * kAfTileBytes == kRgbAeOffset);
static_assert(kRgbAeOffset + kAeRoom * kRgbAeValueBytes <= kRgbHistOffset);

// The statistics request: the addresses of three flags the driver sets, then of the RGB,
// CFA and histogram areas. On the camera each is a 32-bit word; on a 64-bit host the
// addresses need pointer-sized words. The driver reads whichever layout the build has.
template <typename Word>
struct StatisticsRequestOf {
  Word awb_ready;
  Word ae_ready;
  Word af_ready;
  Word rgb_area;
  Word cfa_area;
  Word hist_area;
};
using StatisticsRequest32 = StatisticsRequestOf<uint32_t>;
using StatisticsRequestHost = StatisticsRequestOf<uintptr_t>;
using StatisticsRequest = StatisticsRequestHost;  // the build's own: 32-bit on the camera

static_assert(sizeof(StatisticsRequest32) == 24, "six 32-bit words");
static_assert(offsetof(StatisticsRequest32, rgb_area) == 12);
static_assert(offsetof(StatisticsRequest32, cfa_area) == 16);
static_assert(offsetof(StatisticsRequest32, hist_area) == 20);
static_assert(sizeof(StatisticsRequest) == 6 * sizeof(void*));

// Little-endian 16-bit field access on byte buffers.
inline uint16_t get_le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline void put_le16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace imagelib
