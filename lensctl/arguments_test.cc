#include "lensctl/arguments.h"

#include <gtest/gtest.h>

#include <string>

namespace lensctl {
namespace {

TEST(LensctlArguments, DigitsAreReadAndCutToEightBitsAnythingElseIsRefused) {
  const struct {
    const char* text;
    bool accepted;
    int value;
  } cases[] = {
      {"0", true, 0},     {"10", true, 10},
      {"255", true, 255}, {"300", true, 44},
      {"007", true, 7},   {"-1", false, 0},
      {"+5", false, 0},   {"abc", false, 0},
      {"12x", false, 0},  {"", false, 0},
      {" 5", false, 0},   {"5 ", false, 0},
      {"0x10", false, 0}, {"99999999999999999999999", false, 0},
  };
  for (const auto& c : cases) {
    uint8_t value = 99;
    EXPECT_EQ(parse_byte_argument(c.text, &value), c.accepted) << c.text;
    EXPECT_EQ(value, c.accepted ? c.value : 99) << c.text;
  }
}

}  // namespace
}  // namespace lensctl
