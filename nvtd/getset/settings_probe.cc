// settings-probe: a test tool that drives the settings client and the IP configuration
// reads from the command line and prints their results. It talks to the peer boards, so
// it runs only inside the camera sandbox.
//
//   settings-probe get SECTION [HOST]          settings-probe value SECTION KEY [CAPACITY]
//   settings-probe set [--host H] SECTION LINE...
//   settings-probe setint SECTION KEY N        settings-probe setstr SECTION KEY TEXT
//   settings-probe net iface|hwaddr|ipaddr|netmask|dhcp|gateway|nameserver|hostname
//   settings-probe cache                       settings-probe camwait

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "nvtd/getset/cam_wait.h"
#include "nvtd/getset/section_cache.h"
#include "nvtd/getset/settings_client.h"
#include "nvtd/netconfig/config_reads.h"
#include "nvtd/netconfig/interface_info.h"
#include "nvtd/netconfig/net_system.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: settings-probe get|value|set|setint|setstr|net|cache|camwait ...\n");
  return 2;
}

int net(const std::string& what) {
  std::string text;
  int rc = -1;
  if (what == "iface") {
    rc = nvtd::active_interface(&text);
  } else if (what == "hwaddr") {
    std::array<uint8_t, 6> hw{};
    rc = nvtd::read_hwaddr(&hw);
    char hex[13];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X%02X%02X%02X", hw[0], hw[1], hw[2], hw[3], hw[4],
                  hw[5]);
    text = hex;
  } else if (what == "ipaddr") {
    rc = nvtd::read_ipv4_address(&text);
  } else if (what == "netmask") {
    rc = nvtd::read_netmask(&text);
  } else if (what == "dhcp") {
    int dhcp = 0;
    rc = nvtd::read_dhcp_state(&dhcp);
    text = std::to_string(dhcp);
  } else if (what == "gateway") {
    rc = nvtd::read_default_gateway(&text);
  } else if (what == "nameserver") {
    rc = nvtd::read_name_server(&text);
  } else if (what == "hostname") {
    rc = nvtd::read_host_name(&text);
  } else {
    return usage();
  }
  std::printf("result %d\n%s\n", rc, text.c_str());
  return 0;
}

int run(const std::vector<std::string>& a) {
  if (a.empty()) return usage();
  const std::string& verb = a[0];
  nvtd::SettingsClient client;
  if (verb == "get" && (a.size() == 2 || a.size() == 3)) {
    int rc = client.GetSection(a[1], a.size() == 3 ? a[2].c_str() : nullptr);
    std::printf("result %d\n%s", rc, client.text().c_str());
  } else if (verb == "value" && (a.size() == 3 || a.size() == 4)) {
    int got = client.GetSection(a[1]);
    std::vector<char> out(a.size() == 4 ? std::strtoul(a[3].c_str(), nullptr, 10) : 200, '\0');
    std::snprintf(out.data(), out.size(), "%s", "<missing>");
    int rc = client.GetValue(a[2].c_str(), out.data(), out.size());
    std::printf("result %d get %d int %d\n%s\n", rc, got, client.GetIntValue(a[2].c_str()),
                out.data());
  } else if (verb == "set" && a.size() >= 3) {
    size_t first = 1;
    const char* host = nullptr;
    if (a[1] == "--host" && a.size() >= 5) {
      host = a[2].c_str();
      first = 3;
    }
    std::string records;
    for (size_t i = first + 1; i < a.size(); ++i) records += a[i] + "\n";
    std::printf("result %d\n", client.SetSection(a[first], records, true, host));
  } else if (verb == "setint" && a.size() == 4) {
    std::printf("result %d\n", client.SetIntValue(a[1], a[2], std::atoi(a[3].c_str()), true));
  } else if (verb == "setstr" && a.size() == 4) {
    std::printf("result %d\n", client.SetStringValue(a[1], a[2], a[3], true));
  } else if (verb == "net" && a.size() == 2) {
    return net(a[1]);
  } else if (verb == "cache" && a.size() == 1) {
    nvtd::section_cache_fill();
    for (int i = 0; i < nvtd::kCachedSections; ++i) {
      auto id = static_cast<nvtd::SectionId>(i);
      std::printf("== %s\n%s", nvtd::section_name(id), nvtd::section(id)->text().c_str());
    }
    nvtd::section_cache_release();
  } else if (verb == "camwait" && a.size() == 1) {
    std::printf("nvtd_discoverable %d\n", nvtd::wait_for_cam_settings());
  } else {
    return usage();
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* sandbox = std::getenv("SANDBOX");
  if (sandbox == nullptr || std::strcmp(sandbox, "1") != 0) {
    std::fprintf(stderr, "settings-probe: runs only inside testbed/sandbox\n");
    return 2;
  }
  nvtd::set_net_traces(true);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
