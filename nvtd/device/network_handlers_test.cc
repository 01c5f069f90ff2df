// The network handlers against a recording system: no request value that is not a plain
// address or host name ever reaches a command, replies go out before the commands that
// change or restart the camera, and the interface reads fall back where values are missing.

#include "nvtd/device/network_handlers.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "nvtd/core/operation.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/device/network_state.h"
#include "nvtd/getset/section_cache.h"
#include "nvtd/getset/server_addresses.h"
#include "nvtd/netconfig/fake_net_system.h"

namespace nvtd {
namespace {

using testing::FakeInterface;
using testing::FakeNetSystem;

// Records how many response bytes had been written when each command ran.
class OrderedNetSystem : public FakeNetSystem {
 public:
  std::vector<long> written_at;
  int reply_fd = -1;  // where the handler's reply goes
  int Run(const std::string& command) override {
    struct stat st {};
    written_at.push_back(fstat(reply_fd, &st) == 0 ? static_cast<long>(st.st_size) : -1);
    return FakeNetSystem::Run(command);
  }
};

const char* const kInjections[] = {
    "1.2.3.4;touch /tmp/x", "$(touch /tmp/x)",    "`touch /tmp/x`",    "1.2.3.4\ntouch /tmp/x",
    "1.2.3.4\" ; touch \"", "1.2.3.4' ; touch '", "1.2.3.4 mode=dhcp", "1.2.3.4&&reboot",
    "1.2.3.4|reboot",       "1.2.3.4&#59;reboot", "1.2.3.400",         "",
};

class NetworkHandlersTest : public ::testing::Test {
 protected:
  NetworkHandlersTest() : scoped_(&fake_) {
    reset_network_state();
    fake_.interfaces["eth0"] = FakeInterface{
        IFF_UP | IFF_RUNNING, {0x02, 0, 0x0a, 0x63, 0, 0xab}, "10.99.0.2", "255.255.255.0"};
    fake_.files[fake_.route_file] =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t0100630A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n";
    std::string tag = std::to_string(::getpid());
    fake_.hostname_file = ::testing::TempDir() + "handlers_hostname_" + tag;
    fake_.resolv_file = ::testing::TempDir() + "handlers_resolv_" + tag;
    std::ofstream(fake_.hostname_file, std::ios::trunc) << "camera\n";
    std::ofstream(fake_.resolv_file, std::ios::trunc) << "nameserver 10.99.0.1\n";
    // Served sections go to a loopback address where nothing listens.
    SettingsSetup setup;
    setup.encoder_file = ::testing::TempDir() + "handlers_encoder_" + tag;
    std::ofstream(setup.encoder_file, std::ios::trunc) << "127.0.0.9\n";
    setup.connect_timeout_s = 1;
    set_settings_setup(setup);
  }
  ~NetworkHandlersTest() override {
    section_cache_release();
    set_settings_setup(SettingsSetup{});
  }

  std::string Plain(Handler handler, const std::string& body) {
    Request request;
    request.body = body;
    OutputCapture out;
    handler(request, out.reply());
    return out.take();
  }
  std::string Part(Handler handler, const std::string& body) { return Plain(handler, body); }
  // Runs the handler with its reply going to a file the recorder looks at; the file's size.
  long ReplyToFile(Handler handler, const std::string& body) {
    char path[] = "/tmp/handlers_reply_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return -1;
    unlink(path);
    fake_.reply_fd = fd;
    {
      Request request;
      request.body = body;
      Reply reply(fd, RunMode::kCgi);
      handler(request, reply);
    }
    struct stat st {};
    fstat(fd, &st);
    close(fd);
    fake_.reply_fd = -1;
    return static_cast<long>(st.st_size);
  }
  // Commands run: all of them change the system (the reads run none).
  std::vector<std::string> Changes() const { return fake_.commands; }

  OrderedNetSystem fake_;
  ScopedNetSystem scoped_;
};

std::string interfaces_body(const std::string& address, const std::string& prefix = "24") {
  return "Body><tds:SetNetworkInterfaces><tds:InterfaceToken>eth0</tds:InterfaceToken>"
         "<tds:NetworkInterface><tt:IPv4><tt:Manual><tt:Address>" +
         address + "</tt:Address><tt:PrefixLength>" + prefix +
         "</tt:PrefixLength></tt:Manual><tt:DHCP>false</tt:DHCP></tt:IPv4>"
         "</tds:NetworkInterface></tds:SetNetworkInterfaces></s:Body></s:Envelope>";
}
std::string address_body(const std::string& operation, const std::string& address) {
  return "<s:Envelope><s:Body><tds:" + operation + "><tds:IPv4Address>" + address +
         "</tds:IPv4Address></tds:" + operation + "></s:Body></s:Envelope>";
}

TEST_F(NetworkHandlersTest, NoAddressFieldCarriesACommand) {
  const std::string text = "Content-Type: text/plain\r\n\r\n";
  for (const char* value : kInjections) {
    EXPECT_EQ(Part(handle_set_network_interfaces, interfaces_body(value)),
              text + "Invalid address " + value + "\n");
    EXPECT_EQ(Plain(handle_set_dns, address_body("SetDNS", value)), text + "Failed to set DNS\n");
    EXPECT_EQ(
        Plain(handle_set_network_default_gateway, address_body("SetNetworkDefaultGateway", value)),
        text + "Failed to set gateway\n");
  }
  for (const char* prefix : {"24;reboot", "$(reboot)", "0", "33"}) {
    EXPECT_EQ(Part(handle_set_network_interfaces, interfaces_body("10.99.0.3", prefix)),
              text + "Invalid prefix " + prefix + "\n");
  }
  EXPECT_EQ(Changes(), std::vector<std::string>{});
  EXPECT_EQ(DnsManual, false);
  // The same requests with plain addresses do reach the interface scripts.
  Part(handle_set_network_interfaces, interfaces_body("10.99.0.3"));
  Plain(handle_set_dns, address_body("SetDNS", "10.99.0.53"));
  Plain(handle_set_network_default_gateway,
        address_body("SetNetworkDefaultGateway", "10.99.0.254"));
  EXPECT_EQ(fake_.CountCommands("address=10.99.0.3 netmask=255.255.255.0 gateway=10.99.0.1"), 1);
  EXPECT_EQ(fake_.CountCommands("echo \"nameserver 10.99.0.53\" > /etc/resolv.conf"), 1);
  EXPECT_EQ(fake_.CountCommands("gateway=10.99.0.254 >"), 1);
}

TEST_F(NetworkHandlersTest, HostNamesWithShellCharactersAreRefusedWithTheFault) {
  for (const char* name : {"cam;reboot", "$(reboot)", "`reboot`", "cam\"x", "cam'x", "cam\nx"}) {
    std::string out =
        Plain(handle_set_hostname, "<s:Body><tds:SetHostname><tds:Name>" + std::string(name) +
                                       "</tds:Name></tds:SetHostname></s:Body>");
    EXPECT_EQ(out.rfind("HTTP/1.0 400 Bad Request\r\n", 0), 0u) << name;
    EXPECT_NE(out.find("ter:InvalidHostname"), std::string::npos) << name;
  }
  EXPECT_EQ(Changes(), std::vector<std::string>{});
}

TEST_F(NetworkHandlersTest, RebootAndResetRunOnlyAfterTheWholeReply) {
  long reboot_reply = ReplyToFile(handle_system_reboot, "<s:Body><tds:SystemReboot/></s:Body>");
  long reset_reply = ReplyToFile(
      handle_set_system_factory_default,
      "<s:Body><tds:SetSystemFactoryDefault><tds:FactoryDefault>hard</tds:FactoryDefault>"
      "</tds:SetSystemFactoryDefault></s:Body>");
  EXPECT_EQ(fake_.commands, (std::vector<std::string>{
                                "reboot -d 3", "/usr/local/bin/reset_factory.sh", "reboot -d 3"}));
  EXPECT_GT(reboot_reply, 0);
  EXPECT_GT(reset_reply, 0);
  EXPECT_EQ(fake_.written_at, (std::vector<long>{reboot_reply, reset_reply, reset_reply}));
}

TEST_F(NetworkHandlersTest, InterfaceReplyPrecedesTheStaticChange) {
  long size = ReplyToFile(handle_set_network_interfaces, interfaces_body("10.99.0.3", "16"));
  ASSERT_FALSE(fake_.written_at.empty());
  EXPECT_GT(fake_.written_at.front(), 0);
  EXPECT_EQ(fake_.written_at.front(), size);
  EXPECT_EQ(fake_.CountCommands("address=10.99.0.3 netmask=255.255.0.0 gateway=10.99.0.1"), 1);
}

TEST_F(NetworkHandlersTest, InterfaceFromTheCachedSection) {
  fake_.files[fake_.interfaces_file] = "iface eth0 inet dhcp\n";
  section_cache_fill();
  std::string out = Plain(handle_get_net_if, "");
  EXPECT_NE(out.find("<tt:HwAddress>02:00:0A:63:00:AB</tt:HwAddress>"), std::string::npos);
  EXPECT_NE(out.find("<tt:FromDHCP><tt:Address>10.99.0.2</tt:Address>"
                     "<tt:PrefixLength>24</tt:PrefixLength></tt:FromDHCP>"
                     "<tt:DHCP>true</tt:DHCP>"),
            std::string::npos);
}

TEST_F(NetworkHandlersTest, InterfaceWithoutNetworkRecords) {
  // No section cached: every key is missing. dhcp reads -1, which counts as DHCP on; a
  // missing netmask reports prefix length 0.
  std::string out = Plain(handle_get_net_if, "");
  EXPECT_NE(out.find("<tt:HwAddress>xx:xx:xx:xx:xx:xx</tt:HwAddress>"), std::string::npos);
  EXPECT_NE(out.find("<tt:FromDHCP><tt:Address>xxx.xxx.xxx.xxx</tt:Address>"
                     "<tt:PrefixLength>0</tt:PrefixLength></tt:FromDHCP>"),
            std::string::npos);
  out = Plain(handle_get_network_default_gateway, "");
  EXPECT_NE(out.find("<tt:IPv4Address>xxx.xxx.xxx.xxx</tt:IPv4Address>"), std::string::npos);
}

}  // namespace
}  // namespace nvtd
