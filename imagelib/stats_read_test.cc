// stats_read against a scripted driver, once with each request layout. The areas sit right
// before an inaccessible page, so a read past them ends the test with a fault.
#include "imagelib/stats_read.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/ops.h"
#include "imagelib/print_recorder_test_util.h"
#include "imagelib/setup.h"
#include "imagelib/stats_layout.h"

namespace {

using namespace imagelib;

using imagelib_test::printed;
using imagelib_test::record_print;

// One slice as the scripted driver reports it.
struct SliceSpec {
  int awb_c = 32, awb_r = 32, ae_c = 12, ae_r = 8, af_c = 16, af_r = 16;
  int count = 1;
  int ae_tile_width = 160;
  int rgb_af_c = -1, rgb_af_r = -1;  // the RGB header's own AF counts (default: as CFA)
};
std::vector<SliceSpec> report;
RequestLayout layout = RequestLayout::kPointer;
bool driver_fails = false;

// Tile values name their slice and place: AWB s*10000+i, AE s*1000+i, AF s*1000+i; the RGB
// flavour adds 50000 (AE values) or 40000 (AF tiles).
void write_slice(const SliceSpec& desc, int s, uint8_t* cfa, uint8_t* rgb) {
  std::memset(cfa, 0, kHeaderSize);
  put_le16(cfa + kHdrAwbTileSize, 60);
  put_le16(cfa + kHdrAwbTileSize + 2, 34);
  put_le16(cfa + kHdrAeTileSize, static_cast<uint16_t>(desc.ae_tile_width));
  put_le16(cfa + kHdrAeTileSize + 2, 135);
  put_le16(cfa + kHdrAfTileSize, 120);
  put_le16(cfa + kHdrAfTileSize + 2, 67);
  const int counts[6] = {desc.awb_c, desc.awb_r, desc.ae_c, desc.ae_r, desc.af_c, desc.af_r};
  for (int i = 0; i < 6; ++i) cfa[kHdrAwbColumns + i] = static_cast<uint8_t>(counts[i]);
  cfa[kHdrSliceCount] = static_cast<uint8_t>(desc.count);
  std::memcpy(rgb, cfa, kHeaderSize);
  if (desc.rgb_af_c >= 0) rgb[kHdrAfColumns] = static_cast<uint8_t>(desc.rgb_af_c);
  if (desc.rgb_af_r >= 0) rgb[kHdrAfRows] = static_cast<uint8_t>(desc.rgb_af_r);
  const int awb = desc.awb_c * desc.awb_r, ae = desc.ae_c * desc.ae_r, af = desc.af_c * desc.af_r;
  if (kTilesOffset + awb * 10 + (ae + af) * 6 > kCfaSliceSize) return;  // corrupt: header only
  uint8_t* at = cfa + kTilesOffset;
  for (int i = 0; i < awb; ++i, at += 10) put_le16(at, static_cast<uint16_t>(s * 10000 + i));
  for (int i = 0; i < ae; ++i, at += 6) put_le16(at, static_cast<uint16_t>(s * 1000 + i));
  for (int i = 0; i < af; ++i, at += 6) put_le16(at + 4, static_cast<uint16_t>(s * 1000 + i));
  const int rgb_af = rgb[kHdrAfColumns] * rgb[kHdrAfRows];
  if (kTilesOffset + rgb_af * 6 + ae * 2 > kRgbSliceSize) return;
  for (int i = 0; i < rgb_af; ++i) {
    put_le16(rgb + kTilesOffset + i * 6 + 4, static_cast<uint16_t>(40000 + s * 1000 + i));
  }
  for (int i = 0; i < ae; ++i) {
    put_le16(rgb + kTilesOffset + rgb_af * 6 + i * 2, static_cast<uint16_t>(50000 + s * 1000 + i));
  }
}

template <typename Request>
void decode(void* argument, uint8_t** cfa, uint8_t** rgb) {
  const auto* request = static_cast<const Request*>(argument);
  *cfa = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(request->cfa_area));
  *rgb = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(request->rgb_area));
}

int scripted_driver(int fd, unsigned long request, void* argument) {
  if (fd != 7 || request != kIavIocImgGetStatistics || driver_fails) return -1;
  uint8_t* cfa;
  uint8_t* rgb;
  if (layout == RequestLayout::kCamera32) {
    decode<StatisticsRequest32>(argument, &cfa, &rgb);
  } else {
    decode<StatisticsRequestHost>(argument, &cfa, &rgb);
  }
  for (size_t s = 0; s < report.size() && s < kMaxSlices; ++s) {
    write_slice(report[s], static_cast<int>(s), cfa + s * kCfaSliceSize, rgb + s * kRgbSliceSize);
  }
  return 0;
}

// An area of size bytes ending right at an inaccessible page.
class GuardedArea {
 public:
  GuardedArea(size_t size, [[maybe_unused]] bool low) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    pages_ = (size + page - 1) / page;
    int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#ifdef MAP_32BIT
    if (low) flags |= MAP_32BIT;
#endif
    mapped_ = mmap(nullptr, (pages_ + 1) * page, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (mapped_ == MAP_FAILED) std::abort();
    auto* base = static_cast<uint8_t*>(mapped_);
    mprotect(base + pages_ * page, page, PROT_NONE);
    data_ = base + pages_ * page - size;
    length_ = (pages_ + 1) * page;
  }
  ~GuardedArea() {
    munmap(mapped_, length_);
  }
  uint8_t* data() {
    return data_;
  }

 private:
  void* mapped_;
  size_t pages_, length_;
  uint8_t* data_;
};

bool fits_32(const void* p) {
  return reinterpret_cast<uintptr_t>(p) <= UINT32_MAX;
}

class StatsReadTest : public ::testing::TestWithParam<RequestLayout> {
 protected:
  void SetUp() override {
    layout = GetParam();
    const bool low = layout == RequestLayout::kCamera32;
    if (low && !(fits_32(rgb_.data()) && fits_32(cfa_.data()) && fits_32(hist_.data()))) {
      GTEST_SKIP() << "no memory below 4 GiB on this host";
    }
    static const ImagelibMemOps mem = {std::malloc, std::free, std::memset, std::memcpy};
    imagelib_set_mem_ops(&mem);
    imagelib_set_print(record_print);
    imagelib_set_ioctl(scripted_driver);
    stat_ready_flags = hist_.data();  // any three bytes the driver may set
    rgb_stat_internal = rgb_.data();
    cfa_stat_internal = cfa_.data();
    p_hist_statistics = hist_.data();
    printed.clear();
    report.clear();
    driver_fails = false;
  }
  void TearDown() override {
    stat_ready_flags = saved_flags_;
    rgb_stat_internal = cfa_stat_internal = p_hist_statistics = nullptr;
  }
  int read() { return stats_read_as(layout, 7, rgb_result.data(), cfa_result.data()); }
  int cfa_ae(int i) { return get_le16(cfa_result.data() + kCfaAeOffset + i * 6); }
  int cfa_af(int i) { return get_le16(cfa_result.data() + kCfaAfOffset + i * 6 + 4); }
  int rgb_ae(int i) { return get_le16(rgb_result.data() + kRgbAeOffset + i * 2); }
  int rgb_af(int i) { return get_le16(rgb_result.data() + kRgbAfOffset + i * 6 + 4); }

  GuardedArea rgb_{kRgbAreaSize, GetParam() == RequestLayout::kCamera32};
  GuardedArea cfa_{kCfaAreaSize, GetParam() == RequestLayout::kCamera32};
  GuardedArea hist_{kHistAreaSize, GetParam() == RequestLayout::kCamera32};
  uint8_t* saved_flags_ = stat_ready_flags;
  std::vector<uint8_t> rgb_result = std::vector<uint8_t>(kRgbResultSize, 0xEE);
  std::vector<uint8_t> cfa_result = std::vector<uint8_t>(kCfaResultSize, 0xEE);
};

TEST_P(StatsReadTest, OneSliceIsCopiedInOrder) {
  report = {SliceSpec{}};
  ASSERT_EQ(read(), 0);
  EXPECT_EQ(printed, "");
  for (int i = 0; i < 96; ++i) {
    EXPECT_EQ(cfa_ae(i), i);
    EXPECT_EQ(rgb_ae(i), 50000 + i);
  }
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(cfa_af(i), i);
    EXPECT_EQ(rgb_af(i), 40000 + i);
  }
  EXPECT_EQ(get_le16(cfa_result.data() + kCfaAwbOffset + 1023 * 10), 1023);
  EXPECT_EQ(get_le16(cfa_result.data() + 10370), 0);      // AE list start
  EXPECT_EQ(get_le16(cfa_result.data() + 10946 + 4), 0);  // AF list start
  EXPECT_EQ(get_le16(cfa_result.data() + 10946 + 6 + 4), 1);
  EXPECT_EQ(cfa_result[kHdrAeColumns], 12);
  EXPECT_EQ(rgb_result[kHdrSliceCount], 1);
}

TEST_P(StatsReadTest, TwoSlicesOfAeTilesMergeToTwelveColumns) {
  SliceSpec half;
  half.awb_c = 16;
  half.ae_c = 6;
  half.af_c = 8;
  half.count = 2;
  report = {half, half};
  ASSERT_EQ(read(), 0);
  EXPECT_EQ(cfa_result[kHdrAeColumns], 12);
  EXPECT_EQ(cfa_result[kHdrAeRows], 8);
  EXPECT_EQ(cfa_result[kHdrAfColumns], 16);
  EXPECT_EQ(rgb_result[kHdrAeColumns], 12);
  EXPECT_EQ(cfa_ae(6), 1000);  // slice-order tile 48, the first of slice 1
  EXPECT_EQ(rgb_ae(6), 51000);
  EXPECT_EQ(cfa_ae(5), 5);
  EXPECT_EQ(cfa_ae(12), 6);     // second row of slice 0
  EXPECT_EQ(cfa_ae(95), 1047);  // last tile of slice 1
  EXPECT_EQ(cfa_af(8), 1000);
  EXPECT_EQ(rgb_af(16), 40008);
  // The AWB list stays in slice order.
  EXPECT_EQ(get_le16(cfa_result.data() + kCfaAwbOffset + 512 * 10), 10000);
}

TEST_P(StatsReadTest, ThreeSlicesGive240AfTilesInFifteenColumns) {
  SliceSpec third;
  third.awb_c = 10;
  third.ae_c = 4;
  third.af_c = 5;
  third.count = 3;
  report = {third, third, third};
  ASSERT_EQ(read(), 0);
  EXPECT_EQ(cfa_result[kHdrAfColumns], 15);
  EXPECT_EQ(cfa_af(5), 1000);
  EXPECT_EQ(cfa_af(10), 2000);
  EXPECT_EQ(cfa_af(15), 5);  // second row of slice 0
  EXPECT_EQ(cfa_af(239), 2079);
  EXPECT_EQ(rgb_af(239), 42079);
  EXPECT_EQ(cfa_ae(4), 1000);
}

TEST_P(StatsReadTest, FourSlicesReorder) {
  SliceSpec quarter;
  quarter.awb_c = 8;
  quarter.ae_c = 3;
  quarter.af_c = 4;
  quarter.count = 4;
  report = {quarter, quarter, quarter, quarter};
  ASSERT_EQ(read(), 0);
  EXPECT_EQ(cfa_ae(9), 3000);
  EXPECT_EQ(cfa_ae(95), 3023);
  EXPECT_EQ(cfa_af(12), 3000);
  EXPECT_EQ(cfa_result[kHdrAwbColumns], 32);
}

TEST_P(StatsReadTest, FiveSlicesAreRefusedWithoutReadingPastTheAreas) {
  SliceSpec fifth;
  fifth.awb_c = 6;
  fifth.ae_c = 2;
  fifth.af_c = 3;
  fifth.count = 5;
  report = {fifth, fifth, fifth, fifth};  // the areas hold four
  EXPECT_EQ(read(), -1);
  EXPECT_EQ(printed, "Error: reorder is not supported for total slice  5.\n");
}

TEST_P(StatsReadTest, ZeroAeTileSizeFails) {
  SliceSpec half;
  half.awb_c = 16;
  half.ae_c = 6;
  half.af_c = 8;
  half.count = 2;
  SliceSpec broken = half;
  broken.ae_tile_width = 0;
  report = {half, broken};
  EXPECT_EQ(read(), -1);
}

TEST_P(StatsReadTest, TileCountsBeyondTheListsAreRefused) {
  SliceSpec big;
  big.ae_r = 9;  // 108 AE tiles, room for 96
  report = {big};
  EXPECT_EQ(read(), -1);
  EXPECT_EQ(printed, "Error: wrong tile num 108 in stats_read\n");
  EXPECT_EQ(cfa_result[kCfaAfOffset], 0xEE);

  printed.clear();
  SliceSpec half;
  half.awb_c = 16;
  half.ae_c = 6;
  half.af_c = 8;
  half.count = 2;
  SliceSpec wide = half;
  wide.af_c = 9;  // 8 x 16 + 9 x 16 = 272 AF tiles, room for 256
  report = {half, wide};
  EXPECT_EQ(read(), -1);
  EXPECT_EQ(printed, "Error: wrong tile num 272 in stats_read\n");

  SliceSpec rgb_corrupt;
  rgb_corrupt.rgb_af_c = 255;
  rgb_corrupt.rgb_af_r = 255;
  report = {rgb_corrupt};
  EXPECT_EQ(read(), -1);
}

TEST_P(StatsReadTest, DriverFailureIsReported) {
  driver_fails = true;
  EXPECT_EQ(read(), -1);
  EXPECT_EQ(printed, "error: IAV_IOC_IMG_GET_STATISTICS error\n");
}

TEST_P(StatsReadTest, MissingOperationOrBufferFails) {
  report = {SliceSpec{}};
  EXPECT_EQ(stats_read_as(layout, 7, nullptr, cfa_result.data()), -1);
  imagelib_set_print(nullptr);
  EXPECT_EQ(read(), -1);
  EXPECT_EQ(cfa_result[kCfaAeOffset], 0xEE);
}

INSTANTIATE_TEST_SUITE_P(Layouts, StatsReadTest,
                         ::testing::Values(RequestLayout::kCamera32, RequestLayout::kPointer),
                         [](const auto& info) {
                           return info.param == RequestLayout::kCamera32 ? "Camera32" : "Pointer";
                         });

TEST(StatsReadRequest, AddressesBeyond32BitsFailTheCameraLayout) {
  static const ImagelibMemOps mem = {std::malloc, std::free, std::memset, std::memcpy};
  imagelib_set_mem_ops(&mem);
  imagelib_set_print(record_print);
  imagelib_set_ioctl(scripted_driver);
  std::vector<uint8_t> areas(kRgbAreaSize + kCfaAreaSize + kHistAreaSize);
  if (fits_32(areas.data() + areas.size())) GTEST_SKIP() << "heap below 4 GiB";
  rgb_stat_internal = areas.data();
  cfa_stat_internal = areas.data() + kRgbAreaSize;
  p_hist_statistics = areas.data() + kRgbAreaSize + kCfaAreaSize;
  layout = RequestLayout::kCamera32;
  report = {SliceSpec{}};
  printed.clear();
  std::vector<uint8_t> rgb(kRgbResultSize), cfa(kCfaResultSize);
  EXPECT_EQ(stats_read_as(RequestLayout::kCamera32, 7, rgb.data(), cfa.data()), -1);
  EXPECT_EQ(printed, "error: IAV_IOC_IMG_GET_STATISTICS error\n");
  rgb_stat_internal = cfa_stat_internal = p_hist_statistics = nullptr;
}

}  // namespace
