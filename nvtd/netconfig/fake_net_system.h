// A recording stand-in for the system seam (unit tests): commands are recorded, not run;
// exit statuses, interface state and file texts are scripted. The interfaces file and the
// route table are missing unless a test gives their text.
#pragma once

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "nvtd/netconfig/net_system.h"

namespace nvtd::testing {

struct FakeInterface {
  short flags = IFF_UP | IFF_RUNNING;
  std::array<uint8_t, 6> hwaddr{};
  std::string address;  // empty: no address yet
  std::string netmask;
};

class FakeNetSystem : public NetSystem {
 public:
  std::vector<std::string> commands;         // every Run, in order
  std::map<std::string, int> statuses;       // Run status by a part of the command
  std::map<std::string, std::string> files;  // texts by path; other paths are read for real
  std::vector<std::string> temp_files;       // made by BeginReplacement, in order
  std::vector<std::string> committed;        // "temp -> target" by CommitReplacement, in order
  std::vector<std::string> removed;          // given to DropReplacement, in order
  int commit_status = 0;                     // what CommitReplacement returns
  std::map<std::string, FakeInterface> interfaces;
  std::vector<std::string> traces;
  int sleeps = 0;
  bool sockets_fail = false;

  int Run(const std::string& command) override {
    commands.push_back(command);
    for (const auto& [part, status] : statuses) {
      if (command.find(part) != std::string::npos) return status;
    }
    return 0;
  }

  FakeNetSystem() {
    interfaces_file = "/nonexistent/fake-net/interfaces";
    route_file = "/nonexistent/fake-net/route";
  }

  bool ReadFile(const std::string& path, size_t max_bytes, std::string* text) override {
    auto it = files.find(path);
    if (it == files.end()) return NetSystem::ReadFile(path, max_bytes, text);
    *text = it->second.substr(0, max_bytes);
    return true;
  }

  // Names like the real ones, numbered: "/etc/network/interfaces" gives
  // "/etc/network/.interfaces.fake01" first. Nothing is created.
  int BeginReplacement(const std::string& target, std::string* temp) override {
    std::string number = std::to_string(temp_files.size() + 1);
    if (number.size() < 2) number = "0" + number;
    const std::size_t slash = target.rfind('/');
    *temp = target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".fake" + number;
    temp_files.push_back(*temp);
    targets_[*temp] = target;
    return 0;
  }
  int CommitReplacement(const std::string& temp) override {
    committed.push_back(temp + " -> " + targets_[temp]);
    return commit_status;
  }
  void DropReplacement(const std::string& temp) override { removed.push_back(temp); }

  int InterfaceRequest(unsigned long request, ifreq* req) override {
    if (sockets_fail) {
      errno = EMFILE;
      return kSocketFailed;
    }
    auto it = interfaces.find(req->ifr_name);
    errno = ENODEV;
    if (it == interfaces.end()) return kRequestFailed;
    const FakeInterface& i = it->second;
    if (request == SIOCGIFFLAGS) {
      req->ifr_flags = i.flags;
    } else if (request == SIOCGIFHWADDR) {
      std::memcpy(req->ifr_hwaddr.sa_data, i.hwaddr.data(), 6);
    } else if (request == SIOCGIFADDR || request == SIOCGIFNETMASK) {
      const std::string& text = request == SIOCGIFADDR ? i.address : i.netmask;
      if (text.empty()) return kRequestFailed;
      sockaddr_in in{};
      in.sin_family = AF_INET;
      inet_pton(AF_INET, text.c_str(), &in.sin_addr);
      std::memcpy(&req->ifr_addr, &in, sizeof in);
    }
    return 0;
  }

  void Sleep(int seconds) override { sleeps += seconds; }
  void Trace(const std::string& line) override { traces.push_back(line); }

  // Commands run through Run that contain part.
  int CountCommands(const std::string& part) const {
    int n = 0;
    for (const std::string& c : commands) n += c.find(part) != std::string::npos;
    return n;
  }

 private:
  std::map<std::string, std::string> targets_;  // by temporary file
};

}  // namespace nvtd::testing
