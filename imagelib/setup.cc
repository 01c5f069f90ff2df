// Set-up and teardown of the image library.
#include "imagelib/setup.h"

#include <array>
#include <cstddef>

#include "imagelib/ops.h"
#include "imagelib/stats_layout.h"

namespace imagelib {

uint8_t* rgb_stat_internal = nullptr;
uint8_t* cfa_stat_internal = nullptr;
uint8_t* p_hist_statistics = nullptr;

namespace {

// The colour-correction working buffers and table serve the library's tuning functions.
constexpr std::array<size_t, 3> kCcBufferSizes = {2304, 16384, 1024};
std::array<uint8_t*, 3> cc_buffers = {nullptr, nullptr, nullptr};
bool cc_buffers_valid = false;
std::array<uint8_t, 18752> cc_table;
std::array<bool, 3> cc_loaded = {false, false, false};
bool is_initialised = false;

struct Area {
  uint8_t** pointer;
  size_t size;
};
const std::array<Area, 3> kAreas = {{{&rgb_stat_internal, kRgbAreaSize},
                                     {&cfa_stat_internal, kCfaAreaSize},
                                     {&p_hist_statistics, kHistAreaSize}}};

void release(uint8_t** pointer) {
  if (*pointer != nullptr) _free(*pointer);
  *pointer = nullptr;
}

void release_areas() {
  for (const Area& area : kAreas) release(area.pointer);
}

void release_cc_buffers() {
  for (uint8_t*& buffer : cc_buffers) release(&buffer);
  cc_buffers_valid = false;
}

// Allocates what is not allocated yet; false when an allocation fails.
bool allocate(uint8_t** pointer, size_t size) {
  if (*pointer == nullptr) *pointer = static_cast<uint8_t*>(_malloc(size));
  return *pointer != nullptr;
}

}  // namespace

bool initialised() {
  return is_initialised;
}

}  // namespace imagelib

using namespace imagelib;

int imagelib_setup(int mode, int value) {
  (void)mode;  // 0: the optional in-place statistics correction stays off
  (void)value;
  register_default_ops();
  if (!ops_complete() || is_initialised) return -1;
  for (const Area& area : kAreas) {
    if (!allocate(area.pointer, area.size)) {
      release_areas();
      return -1;
    }
  }
  for (size_t i = 0; i < cc_buffers.size(); ++i) {
    if (!allocate(&cc_buffers[i], kCcBufferSizes[i])) {
      release_cc_buffers();
      _printf("alloc internal buffer for cc failed\n");
      release_areas();
      return -1;
    }
  }
  cc_buffers_valid = true;
  _memset(cc_table.data(), 0, cc_table.size());
  is_initialised = true;
  return 0;
}

int imagelib_teardown() {
  register_default_ops();
  if (!ops_complete()) return -1;
  release_areas();
  release_cc_buffers();
  is_initialised = false;
  cc_loaded.fill(false);
  return 0;
}
