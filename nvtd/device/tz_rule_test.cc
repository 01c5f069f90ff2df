#include "nvtd/device/tz_rule.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace nvtd {
namespace {

// A zone file of format version 2: binary data, then "\n<rule>\n".
std::string zone_file(const std::string& rule, std::size_t data_bytes = 64) {
  std::string data = "TZif2";
  for (std::size_t i = 0; data.size() < data_bytes; ++i) data += static_cast<char>(i % 251);
  return data + "\n" + rule + "\n";
}

TEST(TzRule, IsTheLastLineOfTheZoneFile) {
  EXPECT_EQ(tz_rule_from_zone_text(zone_file("CET-1CEST,M3.5.0,M10.5.0/3")),
            "CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(tz_rule_from_zone_text(zone_file("<+04>-4")), "<+04>-4");
  EXPECT_EQ(tz_rule_from_zone_text(zone_file("")), "");
}

TEST(TzRule, EmptyWithoutAFooter) {
  EXPECT_EQ(tz_rule_from_zone_text(""), "");
  EXPECT_EQ(tz_rule_from_zone_text("UTC0\n"), "");      // no line feed before the last line
  EXPECT_EQ(tz_rule_from_zone_text("data\nUTC0"), "");  // does not end in a line feed
  // Version-1 data whose last line is binary is not a rule.
  EXPECT_EQ(tz_rule_from_zone_text(std::string("TZif\0\n\x01\x02\xff\n", 10)), "");
}

class TzRuleFile : public ::testing::Test {
 protected:
  void SetUp() override {
    snprintf(path_, sizeof path_, "/tmp/tz_rule_test.%d", static_cast<int>(getpid()));
  }
  void TearDown() override { unlink(path_); }
  void write(const std::string& text) {
    FILE* f = fopen(path_, "wb");
    ASSERT_NE(f, nullptr);
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
  }
  char path_[64];
};

TEST_F(TzRuleFile, ReadsTheRuleAgainWhenTheFileChangesAndEmptyWhenItIsMissing) {
  write(zone_file("EST5EDT,M3.2.0,M11.1.0"));
  EXPECT_EQ(read_tz_rule(path_), "EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(read_tz_rule(path_), "EST5EDT,M3.2.0,M11.1.0");
  write(zone_file("UTC0"));
  EXPECT_EQ(read_tz_rule(path_), "UTC0");
  unlink(path_);
  EXPECT_EQ(read_tz_rule(path_), "");
  write(zone_file("UTC0"));
  EXPECT_EQ(read_tz_rule(path_), "UTC0");
}

TEST_F(TzRuleFile, AFileLongerThanTheLimitIsReadFromItsEnd) {
  write(zone_file("NZST-12NZDT,M9.5.0,M4.1.0/3", kZoneFileLimit + 5000));
  EXPECT_EQ(read_tz_rule(path_), "NZST-12NZDT,M9.5.0,M4.1.0/3");
}

}  // namespace
}  // namespace nvtd
