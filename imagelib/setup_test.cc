// imagelib_setup and imagelib_teardown: registration, the areas and the failure paths.
#include "imagelib/setup.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "imagelib/ops.h"
#include "imagelib/print_recorder_test_util.h"
#include "imagelib/stats_layout.h"

namespace {

using namespace imagelib;

using imagelib_test::printed;
using imagelib_test::record_print;

// An allocator that fails for one size and counts what is outstanding.
size_t failing_size = 0;
int outstanding = 0;
void* counting_malloc(size_t size) {
  if (size == failing_size) return nullptr;
  ++outstanding;
  return std::malloc(size);
}
void counting_free(void* block) {
  if (block != nullptr) --outstanding;
  std::free(block);
}

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = default_ops();
    default_ops().mem.allocate = counting_malloc;
    default_ops().mem.release = counting_free;
    default_ops().print = record_print;
    failing_size = 0;
    outstanding = 0;
    printed.clear();
  }
  void TearDown() override {
    imagelib_teardown();
    default_ops() = saved_;
  }
  DefaultOps saved_;
};

TEST_F(SetupTest, SecondSetupFailsUntilTeardown) {
  EXPECT_EQ(imagelib_setup(0, 0), 0);
  EXPECT_TRUE(initialised());
  uint8_t* cfa = cfa_stat_internal;
  EXPECT_EQ(imagelib_setup(0, 0), -1);
  EXPECT_EQ(cfa_stat_internal, cfa);  // nothing changed
  EXPECT_EQ(outstanding, 6);
  EXPECT_EQ(imagelib_teardown(), 0);
  EXPECT_EQ(outstanding, 0);
  EXPECT_EQ(cfa_stat_internal, nullptr);
  EXPECT_EQ(imagelib_setup(0, 0), 0);
}

TEST_F(SetupTest, RegistersAllSixOperations) {
  imagelib_set_print(nullptr);
  imagelib_set_ioctl(nullptr);
  ASSERT_EQ(imagelib_setup(0, 0), 0);
  EXPECT_TRUE(ops_complete());
  EXPECT_EQ(_printf, record_print);
}

TEST_F(SetupTest, MissingDefaultOperationFails) {
  default_ops().ioctl = nullptr;
  EXPECT_EQ(imagelib_setup(0, 0), -1);
  EXPECT_EQ(outstanding, 0);
  EXPECT_EQ(imagelib_teardown(), -1);
}

TEST_F(SetupTest, WorkingBufferFailureReleasesEverything) {
  failing_size = 16384;
  EXPECT_EQ(imagelib_setup(0, 0), -1);
  EXPECT_EQ(printed, "alloc internal buffer for cc failed\n");
  EXPECT_EQ(outstanding, 0);
  EXPECT_EQ(rgb_stat_internal, nullptr);
  EXPECT_FALSE(initialised());
}

TEST_F(SetupTest, StatisticsAreaFailureReleasesEverything) {
  failing_size = kCfaAreaSize;
  EXPECT_EQ(imagelib_setup(0, 0), -1);
  EXPECT_EQ(printed, "");
  EXPECT_EQ(outstanding, 0);
  EXPECT_EQ(rgb_stat_internal, nullptr);
}

}  // namespace
