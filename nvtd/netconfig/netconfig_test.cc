// IP configuration operations against a recording system: the interface chosen, the
// reads from command output and files, and the exact commands of every change.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "nvtd/netconfig/config_changes.h"
#include "nvtd/netconfig/config_reads.h"
#include "nvtd/netconfig/fake_net_system.h"
#include "nvtd/netconfig/interface_info.h"
#include "nvtd/netconfig/net_values.h"

namespace nvtd {
namespace {

using testing::FakeInterface;
using testing::FakeNetSystem;

constexpr short kUpRunning = IFF_UP | IFF_RUNNING;

class NetconfigTest : public ::testing::Test {
 protected:
  NetconfigTest() : scoped_(&fake_) {
    fake_.interfaces["eth0"] =
        FakeInterface{kUpRunning, {0x02, 0, 0x0a, 0x63, 0, 0x02}, "10.99.0.2", "255.255.255.0"};
    fake_.hostname_file = ::testing::TempDir() + "netconfig_hostname_" + std::to_string(::getpid());
    fake_.resolv_file = ::testing::TempDir() + "netconfig_resolv_" + std::to_string(::getpid());
  }
  void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::trunc) << text;
  }
  std::string Interface() {
    std::string name;
    active_interface(&name);
    return name;
  }

  FakeNetSystem fake_;
  ScopedNetSystem scoped_;
};

TEST_F(NetconfigTest, ActiveInterfaceOrderAndFallbacks) {
  EXPECT_EQ(Interface(), "eth0");
  fake_.interfaces["eth0"].flags = IFF_UP;  // up but not running
  fake_.interfaces["wlan0"] = FakeInterface{kUpRunning, {}, "", ""};
  fake_.interfaces["usb0"] = FakeInterface{kUpRunning, {}, "", ""};
  EXPECT_EQ(Interface(), "wlan0");
  fake_.interfaces.erase("wlan0");
  EXPECT_EQ(Interface(), "usb0");  // only usb0 up and running
  fake_.interfaces["usb0"].flags = IFF_RUNNING;
  EXPECT_EQ(Interface(), "eth0");  // nothing up
  fake_.sockets_fail = true;
  EXPECT_EQ(Interface(), "eth0");
}

TEST_F(NetconfigTest, KernelReadsOfTheActiveInterface) {
  std::array<uint8_t, 6> hw{};
  std::string address = "old", mask = "old";
  EXPECT_EQ(read_hwaddr(&hw), 0);
  EXPECT_EQ(hw, (std::array<uint8_t, 6>{0x02, 0, 0x0a, 0x63, 0, 0x02}));
  EXPECT_EQ(read_ipv4_address(&address), 0);
  EXPECT_EQ(address, "10.99.0.2");
  EXPECT_EQ(read_netmask(&mask), 0);
  EXPECT_EQ(mask, "255.255.255.0");
  EXPECT_EQ(fake_.sleeps, 0);
}

TEST_F(NetconfigTest, AddressWaitsFifteenSecondsThenFailsWithOutputCleared) {
  fake_.interfaces["eth0"].address.clear();
  std::string address = "old";
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(read_ipv4_address(&address), -1);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(address, "");
  EXPECT_EQ(fake_.sleeps, 15);
  EXPECT_NE(err.find("Error getting ipaddr"), std::string::npos);

  fake_.sockets_fail = true;
  std::array<uint8_t, 6> hw{1, 2, 3, 4, 5, 6};
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(read_hwaddr(&hw), -1);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("Error opening socket to read hwaddr"),
            std::string::npos);
  EXPECT_EQ(hw, (std::array<uint8_t, 6>{}));
}

TEST_F(NetconfigTest, DhcpStateFromTheFirstDhcpLine) {
  int dhcp = -1;
  fake_.outputs["grep dhcp /etc/network/interfaces"] = "iface eth0 inet dhcp\n";
  EXPECT_EQ(read_dhcp_state(&dhcp), 0);
  EXPECT_EQ(dhcp, 1);
  fake_.outputs["grep dhcp /etc/network/interfaces"] =
      "iface wlan0 inet dhcp\niface eth0 inet dhcp\n";
  EXPECT_EQ(read_dhcp_state(&dhcp), -1);
  EXPECT_EQ(dhcp, 0);
  fake_.outputs["grep dhcp /etc/network/interfaces"] = "";
  EXPECT_EQ(read_dhcp_state(&dhcp), -1);
}

TEST_F(NetconfigTest, GatewayFromNetstatOnlyForTheActiveInterfaceWithFlagsUG) {
  const std::string head =
      "Kernel IP routing table\n"
      "Destination     Gateway         Genmask         Flags   MSS Window  irtt Iface\n";
  fake_.outputs["netstat -rn"] = head +
                                 "0.0.0.0         10.1.1.1        0.0.0.0         UG        0 0 "
                                 "         0 wlan0\n"
                                 "0.0.0.0         10.2.2.2        0.0.0.0         UGH       0 0 "
                                 "         0 eth0\n"
                                 "0.0.0.0         10.99.0.1       0.0.0.0         UG        0 0 "
                                 "         0 eth0\r\n";
  std::string gateway;
  EXPECT_EQ(read_default_gateway(&gateway), 0);
  EXPECT_EQ(gateway, "10.99.0.1");
  EXPECT_EQ(fake_.CountCommands("grep gateway"), 0);
}

TEST_F(NetconfigTest, GatewayFallsBackToTheInterfacesFile) {
  fake_.outputs["netstat -rn"] =
      "0.0.0.0         10.2.2.2        0.0.0.0         UGH       0 0          0 eth0\n";
  const std::string grep = "grep gateway /etc/network/interfaces | awk '{print $2}'";
  fake_.outputs[grep] = "192.168.7.1x\n";
  std::string gateway;
  EXPECT_EQ(read_default_gateway(&gateway), 0);
  EXPECT_EQ(gateway, "192.168.7.1");
  fake_.outputs[grep] = "none\n";
  EXPECT_EQ(read_default_gateway(&gateway), -1);
  EXPECT_EQ(gateway, "");
}

TEST_F(NetconfigTest, NameServerAndHostNameFiles) {
  std::string value = "old";
  WriteFile(fake_.resolv_file, "search lan\nnameserver 192.168.1.53\r\nnameserver 8.8.8.8\n");
  EXPECT_EQ(read_name_server(&value), 0);
  EXPECT_EQ(value, "192.168.1.53");
  WriteFile(fake_.resolv_file, "search lan\n");
  EXPECT_EQ(read_name_server(&value), -1);
  EXPECT_EQ(value, "");

  WriteFile(fake_.hostname_file, "camera-7\r\nsecond\n");
  EXPECT_EQ(read_host_name(&value), 0);
  EXPECT_EQ(value, "camera-7");
  WriteFile(fake_.hostname_file, "");
  EXPECT_EQ(read_host_name(&value), -1);
  std::remove(fake_.hostname_file.c_str());
  EXPECT_EQ(read_host_name(&value), -1);
}

TEST_F(NetconfigTest, HostAndNameServerCommandsInOrder) {
  EXPECT_EQ(set_host_name("cam-2"), 0);
  EXPECT_EQ(set_name_server("10.0.0.53"), 0);
  EXPECT_EQ(fake_.commands,
            (std::vector<std::string>{"echo \"cam-2\" > /etc/hostname", "hostname \"cam-2\"",
                                      "/etc/init.d/upnp.sh condrestart",
                                      "echo \"nameserver 10.0.0.53\" > /etc/resolv.conf"}));
  fake_.statuses["hostname"] = 256;  // statuses are not looked at
  EXPECT_EQ(set_host_name("cam3"), 0);
}

TEST_F(NetconfigTest, SwitchToDhcpCommands) {
  fake_.interfaces["eth0"].flags = 0;
  fake_.interfaces["usb0"] = FakeInterface{kUpRunning, {}, "", ""};
  EXPECT_EQ(switch_to_dhcp(), 0);
  const std::string restart =
      "/etc/init.d/S98avahi-daemon stop;ip addr flush dev usb0;ifup -f usb0;"
      "/etc/init.d/S98avahi-daemon start";
  EXPECT_EQ(fake_.commands,
            (std::vector<std::string>{
                "awk -f /usr/local/bin/changeInterface.awk /etc/network/interfaces device=usb0 "
                "mode=dhcp > /tmp/interfaces.tmp && mv /tmp/interfaces.tmp "
                "/etc/network/interfaces",
                restart}));
  EXPECT_EQ(fake_.traces, (std::vector<std::string>{"running " + restart + "\n"}));
}

TEST_F(NetconfigTest, StaticAddressCommandsAndFailures) {
  EXPECT_EQ(set_static_address("192.168.0.9", "255.255.0.0", "192.168.0.1"), 0);
  const std::string awk =
      "awk -f /usr/local/bin/changeInterface.awk /etc/network/interfaces device=eth0 "
      "mode=static address=192.168.0.9 netmask=255.255.0.0 gateway=192.168.0.1 > "
      "/tmp/interfaces.tmp && mv /tmp/interfaces.tmp /etc/network/interfaces";
  ASSERT_EQ(fake_.commands.size(), 3u);
  EXPECT_EQ(fake_.commands[0], "killall udhcpc");
  EXPECT_EQ(fake_.commands[1], awk);
  EXPECT_EQ(fake_.traces[0], "killing dhcp client\n");
  EXPECT_EQ(fake_.traces[1], "running " + awk + "\n");

  fake_.commands.clear();
  fake_.statuses["killall"] = 256;  // not used
  fake_.statuses["awk -f"] = 512;
  EXPECT_EQ(set_static_address("192.168.0.9", "255.255.0.0", "192.168.0.1"), -1);
  EXPECT_EQ(fake_.CountCommands("ifup"), 0);  // the restart is not attempted
  fake_.statuses.erase("awk -f");
  fake_.statuses["ifup"] = 256;
  EXPECT_EQ(set_static_address("192.168.0.9", "255.255.0.0", "192.168.0.1"), -1);
  EXPECT_EQ(switch_to_dhcp(), -1);
}

// Client-supplied values are checked before any command is composed.
TEST_F(NetconfigTest, ShellMetacharactersNeverReachAShell) {
  const char* hostile[] = {"1.2.3.4;reboot",  "$(reboot)", "1.2.3.4\"", "`reboot`",
                           "1.2.3.4\nreboot", "1.2.3.4 ",  "'",         "",
                           "1.2.3",           "1.2.3.256", "1.2.3.4.5", "01234.1.1.1"};
  for (const char* value : hostile) {
    EXPECT_EQ(set_name_server(value), -1) << value;
    EXPECT_EQ(set_static_address(value, "255.0.0.0", "10.0.0.1"), -1) << value;
    EXPECT_EQ(set_static_address("10.0.0.2", value, "10.0.0.1"), -1) << value;
    EXPECT_EQ(set_static_address("10.0.0.2", "255.0.0.0", value), -1) << value;
  }
  const std::string bad_names[] = {
      "cam;reboot", "$(reboot)",         "cam\"x", "`id`", "cam\nx", "-cam", "cam-", "", "cam x",
      "cam.local",  std::string(64, 'a')};
  for (const std::string& name : bad_names) EXPECT_EQ(set_host_name(name), -1) << name;
  EXPECT_TRUE(fake_.commands.empty());
  EXPECT_TRUE(is_host_name(std::string(63, 'a')));
}

// Only plain decimal quads: a leading zero reads as octal to inet_aton and the resolver.
TEST_F(NetconfigTest, DottedQuadsWithoutLeadingZeros) {
  const std::pair<const char*, bool> cases[] = {
      {"255.255.255.0", true}, {"0.0.0.0", true},     {"10.0.100.9", true}, {"1.20.200.255", true},
      {"01.02.03.004", false}, {"10.0.0.01", false},  {"010.1.1.1", false}, {"10.00.1.1", false},
      {"10.1.000.1", false},   {"0x0a.1.1.1", false}, {"10.1.1.1.", false}, {"10..1.1", false},
      {"+1.1.1.1", false},     {"1.1.1.1000", false}, {"256.1.1.1", false}};
  for (const auto& [text, ok] : cases) {
    EXPECT_EQ(is_dotted_quad(text), ok) << text;
    EXPECT_EQ(set_name_server(text), ok ? 0 : -1) << text;
    EXPECT_EQ(set_static_address("10.0.0.2", "255.0.0.0", text), ok ? 0 : -1) << text;
  }
  for (const auto& [text, ok] : cases) {
    if (!ok) {
      EXPECT_EQ(fake_.CountCommands(text), 0) << text;
    }
  }
}

TEST(FgetsLines, LongLinesComeInPieces) {
  EXPECT_EQ(fgets_lines("abcdef\ngh", 4), (std::vector<std::string>{"abc", "def", "\n", "gh"}));
}

}  // namespace
}  // namespace nvtd
