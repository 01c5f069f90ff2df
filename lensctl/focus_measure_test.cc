// The focus value's weights and the contrast, on hand-made AF lists.
#include "lensctl/focus_measure.h"

#include <gtest/gtest.h>

#include <vector>

#include "imagelib/stats_layout.h"

namespace lensctl {
namespace {

using namespace imagelib;

std::vector<uint8_t> result_with(int sharpness) {
  std::vector<uint8_t> cfa(kCfaResultSize, 0);
  for (int i = 0; i < 256; ++i) put_le16(cfa.data() + kCfaAfOffset + i * 6 + 4, sharpness);
  return cfa;
}

TEST(FocusMeasure, WeightsSumAndCentre) {
  auto cfa = result_with(1);
  EXPECT_EQ(focus_of(cfa.data()).value, 418);
  EXPECT_EQ(focus_of(cfa.data()).contrast, 0);
  cfa = result_with(0);
  put_le16(cfa.data() + kCfaAfOffset + (7 * 16 + 7) * 6 + 4, 1000);
  put_le16(cfa.data() + kCfaAfOffset + (4 * 16 + 3) * 6 + 4, 10);
  EXPECT_EQ(focus_of(cfa.data()).value, 5 * 1000 + 2 * 10);
  EXPECT_EQ(focus_of(cfa.data()).contrast, 1000);
  put_le16(cfa.data() + kCfaAfOffset + 4, 65535);  // a corner: weight 0
  EXPECT_EQ(focus_of(cfa.data()).value, 5020);
}

TEST(FocusMeasure, SharpBrightSceneExceedsTwoMillion) {
  const auto cfa = result_with(60000);
  EXPECT_EQ(focus_of(cfa.data()).value, 418 * 60000);
}

}  // namespace
}  // namespace lensctl
