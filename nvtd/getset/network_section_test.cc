// The NETWORK section made from and applied to the IP configuration (recording system).

#include "nvtd/getset/network_section.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "nvtd/getset/settings_client.h"
#include "nvtd/netconfig/fake_net_system.h"

namespace nvtd {
namespace {

using testing::FakeInterface;
using testing::FakeNetSystem;

class NetworkSectionTest : public ::testing::Test {
 protected:
  NetworkSectionTest() : scoped_(&fake_) {
    fake_.interfaces["eth0"] = FakeInterface{
        IFF_UP | IFF_RUNNING, {0x02, 0, 0x0a, 0x63, 0, 0xab}, "10.99.0.2", "255.255.255.0"};
    fake_.files[fake_.route_file] =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t0100630A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n";
    fake_.hostname_file =
        ::testing::TempDir() + "network_section_hostname_" + std::to_string(::getpid());
    fake_.resolv_file =
        ::testing::TempDir() + "network_section_resolv_" + std::to_string(::getpid());
    std::ofstream(fake_.hostname_file, std::ios::trunc) << "camera\n";
    std::ofstream(fake_.resolv_file, std::ios::trunc) << "nameserver 10.99.0.1\n";
  }
  void OnDhcp() { fake_.files[fake_.interfaces_file] = "iface eth0 inet dhcp\n"; }
  // Commands run: all of them change the system (the reads run none).
  std::vector<std::string> Changes() { return fake_.commands; }

  FakeNetSystem fake_;
  ScopedNetSystem scoped_;
};

TEST_F(NetworkSectionTest, GetBuildsSevenRecordsFromTheLiveConfiguration) {
  OnDhcp();
  SettingsClient client;
  EXPECT_EQ(client.GetSection("NETWORK"), 0);
  EXPECT_EQ(client.text(),
            "dhcp = 1\nipaddress = \"10.99.0.2\"\nnetmask = \"255.255.255.0\"\n"
            "gateway = \"10.99.0.1\"\nnameserver = \"10.99.0.1\"\nhostname = \"camera\"\n"
            "hwaddr = \"02000A6300AB\"\n");
  EXPECT_EQ(client.GetIntValue("dhcp"), 1);
  EXPECT_TRUE(Changes().empty());
}

TEST_F(NetworkSectionTest, FailedReadsLeaveEmptyValues) {
  fake_.interfaces.clear();
  fake_.files.clear();
  std::remove(fake_.resolv_file.c_str());
  std::string text;
  NetworkValues current;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(build_network_section(&current, &text), 0);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(text,
            "dhcp = 0\nipaddress = \"\"\nnetmask = \"\"\ngateway = \"\"\nnameserver = \"\"\n"
            "hostname = \"camera\"\nhwaddr = \"000000000000\"\n");
}

TEST_F(NetworkSectionTest, OnlyAHostnameRecordChangesOnlyTheHostName) {
  SettingsClient client;
  EXPECT_EQ(client.SetStringValue("NETWORK", "hostname", "gate-cam", true), 0);
  EXPECT_EQ(Changes(),
            (std::vector<std::string>{"echo \"gate-cam\" > /etc/hostname", "hostname \"gate-cam\"",
                                      "/etc/init.d/upnp.sh condrestart"}));
}

TEST_F(NetworkSectionTest, LeavingDhcpSetsTheStaticAddressWithTheCurrentValues) {
  OnDhcp();
  SettingsClient client;
  EXPECT_EQ(client.SetIntValue("NETWORK", "dhcp", 0, true), 0);
  std::vector<std::string> changes = Changes();
  ASSERT_EQ(changes.size(), 3u);
  EXPECT_EQ(changes[0], "killall udhcpc");
  EXPECT_NE(changes[1].find("mode=static address=10.99.0.2 netmask=255.255.255.0 "
                            "gateway=10.99.0.1 >"),
            std::string::npos);
  EXPECT_EQ(changes[2].find("/etc/init.d/S98avahi-daemon stop;"), 0u);
}

TEST_F(NetworkSectionTest, TwoLineStaticChangeAndDhcpSwitch) {
  SettingsClient client;
  EXPECT_EQ(
      client.SetSection("NETWORK", "netmask = \"255.255.0.0\"\nipaddress = \"10.99.7.7\"\n", true),
      0);
  ASSERT_EQ(Changes().size(), 3u);
  EXPECT_NE(Changes()[1].find("address=10.99.7.7 netmask=255.255.0.0 gateway=10.99.0.1"),
            std::string::npos);
  fake_.commands.clear();
  EXPECT_EQ(client.SetSection("NETWORK", "dhcp = 1\n", true), 0);
  ASSERT_EQ(Changes().size(), 2u);
  EXPECT_NE(Changes()[0].find("mode=dhcp"), std::string::npos);
  fake_.commands.clear();
  EXPECT_EQ(client.SetSection("NETWORK", "dhcp = 0\nipaddress = \"10.99.0.2\"\n", true), 0);
  EXPECT_TRUE(Changes().empty());  // not on DHCP and nothing differs
}

TEST_F(NetworkSectionTest, StopsAtTheFirstFailedChange) {
  SettingsClient client;
  EXPECT_EQ(
      client.SetSection("NETWORK", "nameserver = \"1.1.1.1;reboot\"\nhostname = \"other\"\n", true),
      -1);
  EXPECT_TRUE(Changes().empty());
  fake_.statuses["awk -f"] = 256;
  EXPECT_EQ(client.SetSection("NETWORK", "hostname = \"other\"\nipaddress = \"10.99.0.9\"\n", true),
            -1);
  EXPECT_EQ(fake_.CountCommands("hostname \"other\""), 1);  // applied before the failure
  EXPECT_EQ(fake_.CountCommands("ifup"), 0);
}

}  // namespace
}  // namespace nvtd
