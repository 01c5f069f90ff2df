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

using namespace std::string_literals;
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

// Interfaces files with the values `grep dhcp` and `grep gateway | awk '{print $2}'`
// gave for them (comments count; the first matching line decides). No route table here.
TEST_F(NetconfigTest, DhcpStateAndFallbackGatewayFromTheInterfacesFile) {
  struct Case {
    std::string text;
    int dhcp_rc;
    std::string gateway;  // "-" when the read fails
  };
  const std::string far(520, 'x');
  const Case cases[] = {
      {"auto eth0\niface eth0 inet dhcp\n", 0, "-"},
      {"# iface eth0 inet dhcp\niface eth0 inet static\n", 0, "-"},
      {"iface wlan0 inet dhcp\niface eth0 inet dhcp\n", -1, "-"},
      {"iface eth0 inet DHCP\n", -1, "-"},
      {"iface eth0 inet dhcp", 0, "-"},
      {far + " eth0 dhcp\n", -1, "-"},  // the name lies past the first 511 characters
      {"dhcp eth0 " + far + "\n", 0, "-"},
      {"iface eth0 inet dhcp\n\0\n"s, -1, "-"},  // a NUL byte: grep prints nothing
      {"iface eth0 inet static\naddress 10.0.0.2\ngateway 10.0.0.1\n", -1, "10.0.0.1"},
      {"#gateway 192.168.9.9\ngateway 10.0.0.1\n", -1, "192.168.9.9"},
      {"# gateway 10.0.0.1\ngateway 10.0.0.2\n", -1, "-"},
      {"  gateway\t10.0.0.1x\r\n", -1, "10.0.0.1"},
      {"gateway 10.0.0.1\r\n", -1, "10.0.0.1"},
      {"gateway\n", -1, "-"},
      {"gateway\v10.0.0.1\n", -1, "-"},  // only blanks and tabs separate fields
      {"gateway 1.2.3.4.5\n", -1, "1.2.3.4.5"},
      {"gateway 10.0.0.1\n\0"s, -1, "-"},
      {"", -1, "-"},
  };
  for (const Case& c : cases) {
    const std::string& text = c.text;
    fake_.files[fake_.interfaces_file] = text;
    int dhcp = -1;
    EXPECT_EQ(read_dhcp_state(&dhcp), c.dhcp_rc) << text;
    EXPECT_EQ(dhcp, c.dhcp_rc == 0 ? 1 : 0) << text;
    std::string gateway = "old";
    int rc = read_default_gateway(&gateway);
    EXPECT_EQ(rc == 0 ? gateway : "-", c.gateway) << text;
    if (rc != 0) {
      EXPECT_EQ(gateway, "") << text;
    }
  }
  fake_.files.clear();  // no interfaces file at all
  int dhcp = -1;
  std::string gateway;
  EXPECT_EQ(read_dhcp_state(&dhcp), -1);
  EXPECT_EQ(read_default_gateway(&gateway), -1);
  EXPECT_TRUE(fake_.commands.empty());
}

// Route tables with the gateway `netstat -rn` showed for them: the first route to 0.0.0.0
// on the active interface whose flags show as exactly "UG"; else the interfaces file.
TEST_F(NetconfigTest, GatewayFromTheRouteTable) {
  const std::string head =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT"
      "                                                       \n";
  auto row = [](const std::string& iface, const std::string& destination,
                const std::string& gateway, const std::string& flags) {
    return iface + "\t" + destination + "\t" + gateway + "\t" + flags +
           "\t0\t0\t0\t00000000\t0\t0\t0                \n";
  };
  const std::string subnet = row("eth0", "0063000A", "00000000", "0001");
  struct Case {
    std::string table;
    std::string gateway;
  };
  const Case cases[] = {
      {head + subnet, "192.168.5.1"},  // no default route: the interfaces file's
      {head + subnet + row("eth0", "00000000", "0100630A", "0003"), "10.99.0.1"},
      {head + row("wlan0", "00000000", "0101A8C0", "0003") +  // another interface
           row("eth0", "00000000", "0202000A", "0007") +      // UGH
           row("eth0", "00000000", "0303000A", "0203") +      // reject
           row("eth0", "00000000", "0404000A", "0002") +      // not up: not shown
           row("eth01", "00000000", "0505000A", "0003") +     // another name
           row("eth0", "0000000A", "0606000A", "0003") +      // not a default route
           row("eth0", "00000000", "0707000a", "0803") +      // a flag not shown: "UG"
           row("eth0", "00000000", "0808000A", "0003"),
       "10.0.7.7"},
      {head + row("eth0", "00000000", "0909000A", "0013"), "192.168.5.1"},  // UGD
      {head + row("eth0", "00000000", "0909000A", "0003"), "10.0.9.9"},
      {head + "eth0\t00000000\t0909000A\t0003\t0\t0\t0\t00000000\t0\n" +  // nine columns
           "eth0\t00000000\t0A0A000A\t0003\t0\t0\t0\t00000000\t0\t0\n",   // ten are enough
       "10.0.10.10"},
      {row("eth0", "00000000", "0163000A", "0003"), "192.168.5.1"},  // no column titles
  };
  for (const Case& c : cases) {
    fake_.files[fake_.route_file] = c.table;
    fake_.files[fake_.interfaces_file] = "iface eth0 inet static\ngateway 192.168.5.1\n";
    std::string gateway;
    EXPECT_EQ(read_default_gateway(&gateway), 0) << c.table;
    EXPECT_EQ(gateway, c.gateway) << c.table;
  }
  EXPECT_TRUE(fake_.commands.empty());
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
  // The new text goes to a fresh file beside the interfaces file, not to a fixed name.
  EXPECT_EQ(fake_.temp_files, (std::vector<std::string>{"/etc/network/.interfaces.fake01"}));
  EXPECT_EQ(fake_.commands,
            (std::vector<std::string>{
                "awk -f /usr/local/bin/changeInterface.awk /etc/network/interfaces device=usb0 "
                "mode=dhcp > /etc/network/.interfaces.fake01",
                restart}));
  EXPECT_EQ(fake_.traces, (std::vector<std::string>{"running " + restart + "\n"}));
  EXPECT_EQ(fake_.committed.at(0), "/etc/network/.interfaces.fake01 -> /etc/network/interfaces");
  EXPECT_TRUE(fake_.removed.empty());
}

TEST_F(NetconfigTest, StaticAddressCommandsAndFailures) {
  EXPECT_EQ(set_static_address("192.168.0.9", "255.255.0.0", "192.168.0.1"), 0);
  const std::string awk =
      "awk -f /usr/local/bin/changeInterface.awk /etc/network/interfaces device=eth0 "
      "mode=static address=192.168.0.9 netmask=255.255.0.0 gateway=192.168.0.1 > "
      "/etc/network/.interfaces.fake01";
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
  EXPECT_EQ(fake_.removed, (std::vector<std::string>{"/etc/network/.interfaces.fake02"}));
  fake_.statuses.erase("awk -f");
  fake_.commit_status = -1;  // the file could not be put in place: no restart either
  EXPECT_EQ(set_static_address("192.168.0.9", "255.255.0.0", "192.168.0.1"), -1);
  EXPECT_EQ(fake_.CountCommands("ifup"), 0);
  fake_.commit_status = 0;
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
