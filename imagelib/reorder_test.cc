// _reorder_stat_tile: the index formula, the list shapes and the refusals.
#include "imagelib/reorder.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imagelib/ops.h"
#include "imagelib/print_recorder_test_util.h"

namespace {

using imagelib::_reorder_stat_tile;

using imagelib_test::printed;
using imagelib_test::record_print;

void* no_memory(size_t) {
  return nullptr;
}

class ReorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const ImagelibMemOps mem = {std::malloc, std::free, std::memset, std::memcpy};
    imagelib_set_mem_ops(&mem);
    imagelib_set_print(record_print);
    printed.clear();
  }
};

TEST_F(ReorderTest, IndexFormula) {
  // Two slices of 6 x 8: tile 48 (first of slice 1) goes to column 6 of row 0.
  EXPECT_EQ(imagelib::reorder_index(48, 48, 6, 12), 6);
  EXPECT_EQ(imagelib::reorder_index(6, 48, 6, 12), 12);
  EXPECT_EQ(imagelib::reorder_index(95, 48, 6, 12), 95);
  // Three slices of 5 x 16 AF tiles.
  EXPECT_EQ(imagelib::reorder_index(80, 80, 5, 15), 5);
  EXPECT_EQ(imagelib::reorder_index(239, 80, 5, 15), 239);
}

TEST_F(ReorderTest, TwoByteRecordsOfFourSlices) {
  std::vector<uint16_t> list(96);
  for (int i = 0; i < 96; ++i) list[i] = static_cast<uint16_t>(i);
  ASSERT_EQ(_reorder_stat_tile(96, 4, reinterpret_cast<uint8_t*>(list.data()), 2), 0);
  // Row 0 holds the first row of each slice: 0 1 2, 24 25 26, 48 49 50, 72 73 74.
  const std::vector<uint16_t> row0(list.begin(), list.begin() + 12);
  EXPECT_EQ(row0, (std::vector<uint16_t>{0, 1, 2, 24, 25, 26, 48, 49, 50, 72, 73, 74}));
  EXPECT_EQ(list[12], 3);
}

TEST_F(ReorderTest, EightByteRecordsMoveWhole) {
  std::vector<uint64_t> list(96);
  for (int i = 0; i < 96; ++i) list[i] = 0x1111111100000000ULL + static_cast<uint64_t>(i);
  ASSERT_EQ(_reorder_stat_tile(96, 2, reinterpret_cast<uint8_t*>(list.data()), 0), 0);
  EXPECT_EQ(list[6], 0x1111111100000000ULL + 48);
}

TEST_F(ReorderTest, WrongCountTypeOrListIsRefused) {
  std::vector<uint8_t> list(256 * 6, 1);
  EXPECT_EQ(_reorder_stat_tile(256, 3, list.data(), 5), -1);
  EXPECT_EQ(printed, "Error: wrong tile num 256 in _reorder_stat_tile\n");
  printed.clear();
  EXPECT_EQ(_reorder_stat_tile(96, 2, list.data(), 7), -1);
  EXPECT_EQ(printed, "Error: not supported type 7 in _reorder_stat_tile\n");
  EXPECT_EQ(_reorder_stat_tile(96, 2, nullptr, 1), -1);
  printed.clear();
  EXPECT_EQ(_reorder_stat_tile(96, 0, list.data(), 1), -1);  // no slice geometry
  EXPECT_EQ(printed, "Error: reorder is not supported for total slice  0.\n");
}

TEST_F(ReorderTest, WorkListAllocationFailure) {
  const ImagelibMemOps failing = {no_memory, std::free, std::memset, std::memcpy};
  imagelib_set_mem_ops(&failing);
  std::vector<uint8_t> list(96 * 6, 3);
  EXPECT_EQ(_reorder_stat_tile(96, 2, list.data(), 1), -1);
  EXPECT_EQ(printed, "Error: invalid pointer in _reorder_stat_tile\n");
  EXPECT_EQ(list[0], 3);
}

}  // namespace
