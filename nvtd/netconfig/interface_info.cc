// Interface requests (SIOCGIFFLAGS, SIOCGIFHWADDR, SIOCGIFADDR, SIOCGIFNETMASK) on the
// active interface, through the system seam.

#include "nvtd/netconfig/interface_info.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "nvtd/netconfig/net_system.h"

namespace nvtd {
namespace {

constexpr short kUpAndRunning = IFF_UP | IFF_RUNNING;  // 0x41
constexpr int kAddressRetries = 15;

ifreq request_for(const std::string& name) {
  ifreq req;
  std::memset(&req, 0, sizeof req);
  std::snprintf(req.ifr_name, sizeof req.ifr_name, "%s", name.c_str());
  return req;
}

bool up_and_running(const char* name) {
  ifreq req = request_for(name);
  if (net_system().InterfaceRequest(SIOCGIFFLAGS, &req) != 0) return false;
  return (req.ifr_flags & kUpAndRunning) == kUpAndRunning;
}

// One request on the active interface, with the two messages of its kind.
int interface_request(unsigned long request, ifreq* req, const char* socket_message,
                      const char* request_message) {
  std::string name;
  active_interface(&name);
  *req = request_for(name);
  int rc = net_system().InterfaceRequest(request, req);
  if (rc == NetSystem::kSocketFailed) std::perror(socket_message);
  if (rc == NetSystem::kRequestFailed) std::perror(request_message);
  return rc == 0 ? 0 : -1;
}

// The address in the request's union (ifr_addr and ifr_netmask share it).
std::string address_text(const ifreq& req) {
  char text[INET6_ADDRSTRLEN] = "";
  const unsigned char* raw = reinterpret_cast<const unsigned char*>(&req.ifr_ifru);
  if (req.ifr_addr.sa_family == AF_INET) {
    in_addr in;
    std::memcpy(&in, raw + offsetof(sockaddr_in, sin_addr), sizeof in);
    inet_ntop(AF_INET, &in, text, sizeof text);
  } else if (req.ifr_addr.sa_family == AF_INET6) {
    static_assert(offsetof(sockaddr_in6, sin6_addr) + sizeof(in6_addr) <= sizeof req.ifr_ifru);
    in6_addr in6;
    std::memcpy(&in6, raw + offsetof(sockaddr_in6, sin6_addr), sizeof in6);
    inet_ntop(AF_INET6, &in6, text, sizeof text);
  }
  return text;
}

}  // namespace

int active_interface(std::string* name) {
  for (const char* candidate : {"eth0", "wlan0", "usb0"}) {
    if (up_and_running(candidate)) {
      *name = candidate;
      return 0;
    }
  }
  *name = "eth0";
  return 0;
}

int read_hwaddr(std::array<uint8_t, 6>* hwaddr) {
  hwaddr->fill(0);
  ifreq req;
  if (interface_request(SIOCGIFHWADDR, &req, "Error opening socket to read hwaddr",
                        "Error getting hwaddr") != 0) {
    return -1;
  }
  std::memcpy(hwaddr->data(), req.ifr_hwaddr.sa_data, hwaddr->size());
  return 0;
}

int read_ipv4_address(std::string* address) {
  address->clear();
  ifreq req;
  for (int attempt = 0; attempt <= kAddressRetries; ++attempt) {
    if (attempt > 0) net_system().Sleep(1);
    if (interface_request(SIOCGIFADDR, &req, "Error opening socket to read ipaddr",
                          "Error getting ipaddr") == 0) {
      *address = address_text(req);
      return 0;
    }
  }
  return -1;
}

int read_netmask(std::string* netmask) {
  netmask->clear();
  ifreq req;
  if (interface_request(SIOCGIFNETMASK, &req, "Error opening socket to read mask",
                        "Error getting netmask") != 0) {
    return -1;
  }
  *netmask = address_text(req);
  return 0;
}

}  // namespace nvtd
