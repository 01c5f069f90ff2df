// Focus measurement from the AF statistics.
#include "lensctl/focus_measure.h"

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "imagelib/platform/device.h"
#include "imagelib/setup.h"
#include "imagelib/stats_layout.h"
#include "imagelib/stats_read.h"

namespace lensctl {

namespace {

using imagelib::get_le16;

constexpr int kGrid = 16;
constexpr std::array<std::array<uint8_t, kGrid>, kGrid> kWeights = {{
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0},
    {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0},
    {0, 0, 1, 1, 1, 2, 2, 2, 2, 2, 2, 1, 1, 1, 0, 0},
    {0, 0, 1, 2, 3, 4, 4, 4, 4, 4, 4, 3, 2, 1, 0, 0},
    {0, 0, 1, 3, 4, 5, 5, 5, 5, 5, 5, 4, 3, 1, 0, 0},
    {0, 0, 2, 3, 4, 5, 5, 5, 5, 5, 5, 4, 3, 2, 0, 0},
    {0, 0, 2, 3, 4, 5, 5, 5, 5, 5, 5, 4, 3, 2, 0, 0},
    {0, 0, 2, 3, 4, 5, 5, 5, 5, 5, 5, 4, 3, 2, 0, 0},
    {0, 0, 1, 3, 4, 5, 5, 5, 5, 5, 5, 4, 3, 1, 0, 0},
    {0, 0, 1, 3, 3, 4, 4, 4, 4, 4, 4, 3, 3, 1, 0, 0},
    {0, 0, 1, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2, 0, 0},
    {0, 0, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 0, 0},
    {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0},
    {0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
}};

}  // namespace

FocusSample focus_of(const uint8_t* cfa_result) {
  // The AF list sits where stats_read puts it, after the full AWB and AE lists.
  const uint8_t* tiles = cfa_result + imagelib::kCfaAfOffset;
  int32_t sum = 0;
  int32_t smallest = 100000;
  int32_t largest = 0;
  for (int i = 0; i < kGrid * kGrid; ++i) {
    const int32_t sharpness = get_le16(tiles + i * imagelib::kAfTileBytes + 4);
    sum += sharpness * kWeights[i / kGrid][i % kGrid];
    smallest = std::min(smallest, sharpness);
    largest = std::max(largest, sharpness);
  }
  return {sum, largest - smallest};
}

int open_statistics() {
  if (!imagelib::initialised() && imagelib_setup(0, 0) < 0) {
    perror("/dev/iav");
    return -1;
  }
  const int fd = platform::device_open("/dev/iav", O_RDWR);
  if (fd < 0) perror("/dev/iav");
  return fd;
}

FocusMeter::FocusMeter(int iav_fd, bool verbose)
    : fd_(iav_fd),
      verbose_(verbose),
      rgb_(imagelib::kRgbResultSize),
      cfa_(imagelib::kCfaResultSize) {}

void FocusMeter::measure(FocusSample* sample) {
  std::fill(rgb_.begin(), rgb_.end(), 0);
  std::fill(cfa_.begin(), cfa_.end(), 0);
  if (stats_read(fd_, rgb_.data(), cfa_.data()) < 0) {
    fprintf(stderr, "error getting statistics\n");
    return;
  }
  if (first_ && verbose_) {
    const int rows = cfa_[imagelib::kHdrAfRows];
    const int columns = cfa_[imagelib::kHdrAfColumns];
    printf("tiles = %dx%d = %d\n", rows, columns, rows * columns);
  }
  first_ = false;
  *sample = focus_of(cfa_.data());
}

}  // namespace lensctl
