// The pure rules of the network operations: netmask and prefix length, the requested
// prefix, the host-name rule, the reset command and the reported port.

#include <gtest/gtest.h>

#include "nvtd/device/hostname.h"
#include "nvtd/device/network_prefix.h"
#include "nvtd/device/network_protocols.h"
#include "nvtd/device/system_control.h"

namespace nvtd {
namespace {

TEST(PrefixTable, OneMoreLeadingBitPerIndex) {
  EXPECT_EQ(Prefix[0], 0u);
  EXPECT_EQ(Prefix[1], 0x80000000u);
  EXPECT_EQ(Prefix[24], 0xFFFFFF00u);
  EXPECT_EQ(Prefix[32], 0xFFFFFFFFu);
  for (int i = 1; i <= 32; ++i) EXPECT_EQ(Prefix[i] << (i - 1), 0x80000000u) << i;
}

TEST(PrefixLengthOf, ContiguousMasksAndEverythingElse) {
  EXPECT_EQ(prefix_length_of("255.255.255.0"), 24);
  EXPECT_EQ(prefix_length_of("255.255.255.255"), 32);
  EXPECT_EQ(prefix_length_of("128.0.0.0"), 1);
  EXPECT_EQ(prefix_length_of("0.0.0.0"), 0);
  EXPECT_EQ(prefix_length_of("255.0.255.0"), 0);    // not contiguous
  EXPECT_EQ(prefix_length_of("255.255.255.1"), 0);  // not contiguous
  // A missing or unreadable netmask is 0, not the 32 of an all-ones failure value.
  EXPECT_EQ(prefix_length_of(""), 0);
  EXPECT_EQ(prefix_length_of("garbage"), 0);
}

TEST(ParsePrefixLength, OneToThirtyTwoInDigitsOnly) {
  EXPECT_EQ(parse_prefix_length("1"), 1);
  EXPECT_EQ(parse_prefix_length("16"), 16);
  EXPECT_EQ(parse_prefix_length("32"), 32);
  for (const char* bad : {"0", "33", "", "-1", "+8", " 8", "8 ", "16x", "1e1", "100", "0x10"}) {
    EXPECT_EQ(parse_prefix_length(bad), -1) << bad;
  }
}

TEST(NetmaskOfPrefix, DottedDecimal) {
  EXPECT_EQ(netmask_of_prefix(16), "255.255.0.0");
  EXPECT_EQ(netmask_of_prefix(1), "128.0.0.0");
  EXPECT_EQ(netmask_of_prefix(27), "255.255.255.224");
  EXPECT_EQ(netmask_of_prefix(32), "255.255.255.255");
  for (int i = 0; i <= 32; ++i) EXPECT_EQ(prefix_length_of(netmask_of_prefix(i)), i);
}

TEST(HostnameRule, AcceptedNames) {
  for (const char* name : {"a", "7", "gate-cam", "Cam01", "a-b-c", "0-0"}) {
    EXPECT_TRUE(hostname_acceptable(name)) << name;
  }
}

TEST(HostnameRule, RefusedNames) {
  for (const char* name : {"", "-cam", "cam-", "-", "cam_1", "cam.local", "cam 1", "cam;ls",
                           "$(id)", "c`id`", "caf\xc3\xa9", "cam\n"}) {
    EXPECT_FALSE(hostname_acceptable(name)) << name;
  }
}

TEST(FactoryReset, HardInAnyCaseIsTheFullReset) {
  EXPECT_EQ(factory_reset_command("Hard"), "/usr/local/bin/reset_factory.sh");
  EXPECT_EQ(factory_reset_command("hard"), "/usr/local/bin/reset_factory.sh");
  EXPECT_EQ(factory_reset_command("HARD"), "/usr/local/bin/reset_factory.sh");
  EXPECT_EQ(factory_reset_command("Soft"), "/usr/local/bin/reset_factory.sh saveip");
  EXPECT_EQ(factory_reset_command("Hardest"), "/usr/local/bin/reset_factory.sh saveip");
  EXPECT_EQ(factory_reset_command(""), "/usr/local/bin/reset_factory.sh saveip");
}

TEST(PortValue, DecimalPrefixWithinRange) {
  EXPECT_EQ(port_value("8554"), 8554);
  EXPECT_EQ(port_value("80abc"), 80);
  EXPECT_EQ(port_value("abc"), 0);
  EXPECT_EQ(port_value("99999999999999"), 2147483647);
}

}  // namespace
}  // namespace nvtd
