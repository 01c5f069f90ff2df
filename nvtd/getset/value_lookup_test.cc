// Lookups in section texts: where a key is found, how values are cut, and that a missing
// key leaves the caller's default alone.

#include "nvtd/getset/value_lookup.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

std::string Get(const std::string& text, const std::string& key, size_t capacity = 80) {
  std::string out = "<default>";
  find_value(text, key, &out, capacity);
  return out;
}

TEST(FindValue, KeyMustStartARecordAndEndAtBlankOrEquals) {
  const std::string text = "s0_fps = 25\nfps = 5\n";
  EXPECT_EQ(Get(text, "fps"), "5");
  EXPECT_EQ(Get(text, "s0_fps"), "25");
  EXPECT_EQ(Get("model = \"TQLM-R204\"\n", "model"), "TQLM-R204");  // at the very start
  EXPECT_EQ(Get("fpsx = 1\nfps = 2\n", "fps"), "2");                // followed by a letter
  EXPECT_EQ(Get("dhcp=1\n", "dhcp"), "1");                          // followed by "="
  EXPECT_EQ(Get("x = \"fps = 3\"\nfps = 4\n", "fps"), "4");         // after a quote: skipped
  EXPECT_EQ(Get("fps", "fps"), "<default>");                        // at the end: nothing follows
}

TEST(FindValue, QuotedBareAndEmptyValues) {
  EXPECT_EQ(Get("name = \"two words\"\n", "name"), "two words");
  EXPECT_EQ(Get("name = \"\"\nx = 1\n", "name"), "");
  EXPECT_EQ(Get("name = \"unterminated", "name"), "unterminated");
  EXPECT_EQ(Get("n = 12 trailing\n", "n"), "12");
  EXPECT_EQ(Get("n = 12\"x\n", "n"), "12");
  EXPECT_EQ(Get("n   :   7\n", "n"), "7");  // the separator is skipped whatever it is
}

TEST(FindValue, MissingKeyLeavesTheDefaultAndCutsToCapacity) {
  char address[16] = "xxx.xxx.xxx.xxx";
  EXPECT_EQ(find_value("netmask = \"255.0.0.0\"\n", "ipaddress", address, sizeof address), -1);
  EXPECT_STREQ(address, "xxx.xxx.xxx.xxx");
  EXPECT_EQ(find_value("", "ipaddress", address, sizeof address), -1);
  EXPECT_STREQ(address, "xxx.xxx.xxx.xxx");

  char small[5];
  EXPECT_EQ(find_value("v = \"abcdefgh\"\n", "v", small, sizeof small), 0);
  EXPECT_STREQ(small, "abcd");
  EXPECT_EQ(Get("v = abcdefgh\n", "v", 3), "ab");
}

TEST(ParseIntValue, LikeStrtolClampedTo32Bits) {
  EXPECT_EQ(parse_int_value("12"), 12);
  EXPECT_EQ(parse_int_value("  -7x"), -7);
  EXPECT_EQ(parse_int_value("+3"), 3);
  EXPECT_EQ(parse_int_value("abc"), 0);
  EXPECT_EQ(parse_int_value(""), 0);
  EXPECT_EQ(parse_int_value("99999999999"), 2147483647);
  EXPECT_EQ(parse_int_value("-99999999999"), -2147483647 - 1);
}

}  // namespace
}  // namespace nvtd
