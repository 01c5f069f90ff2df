// The change operations and their exact command lines.

#include "nvtd/netconfig/config_changes.h"

#include <cstdio>

#include "nvtd/netconfig/interface_info.h"
#include "nvtd/netconfig/net_system.h"
#include "nvtd/netconfig/net_values.h"

namespace nvtd {
namespace {

constexpr size_t kCommandBytes = 512;
constexpr char kInterfaces[] = "/etc/network/interfaces";

// The interface restart shared by the DHCP and static changes.
int restart_interface(const std::string& name) {
  char command[kCommandBytes];
  std::snprintf(command, sizeof command,
                "/etc/init.d/S98avahi-daemon stop;ip addr flush dev %s;ifup -f %s;"
                "/etc/init.d/S98avahi-daemon start",
                name.c_str(), name.c_str());
  net_system().Trace(std::string("running ") + command + "\n");
  return net_system().Run(command) == 0 ? 0 : -1;
}

// Rewrites the interfaces file with the rewriter's operands. The new text goes to a fresh
// file in the file's own directory (only root writes there; the name is unpredictable and
// the file made exclusively) that then replaces the file whole, so no file or link planted
// by another user is ever written or moved into place.
int rewrite_interfaces(const std::string& operands, bool traced) {
  std::string temp;
  if (net_system().BeginReplacement(kInterfaces, &temp) != 0) return -1;
  std::string command = std::string("awk -f /usr/local/bin/changeInterface.awk ") + kInterfaces +
                        " " + operands + " > " + temp;
  if (traced) net_system().Trace("running " + command + "\n");
  if (net_system().Run(command) == 0) return net_system().CommitReplacement(temp);
  net_system().DropReplacement(temp);
  return -1;
}

}  // namespace

int set_name_server(const std::string& address) {
  if (!is_dotted_quad(address)) return -1;
  char command[64];
  std::snprintf(command, sizeof command, "echo \"nameserver %s\" > /etc/resolv.conf",
                address.c_str());
  net_system().Run(command);
  return 0;
}

int set_host_name(const std::string& name) {
  if (!is_host_name(name)) return -1;
  char command[128];
  std::snprintf(command, sizeof command, "echo \"%s\" > /etc/hostname", name.c_str());
  net_system().Run(command);
  std::snprintf(command, sizeof command, "hostname \"%s\"", name.c_str());
  net_system().Run(command);
  net_system().Run("/etc/init.d/upnp.sh condrestart");
  return 0;
}

int switch_to_dhcp() {
  std::string name;
  active_interface(&name);
  if (rewrite_interfaces("device=" + name + " mode=dhcp", false) != 0) return -1;
  return restart_interface(name);
}

int set_static_address(const std::string& address, const std::string& netmask,
                       const std::string& gateway) {
  if (!is_dotted_quad(address) || !is_dotted_quad(netmask) || !is_dotted_quad(gateway)) {
    return -1;
  }
  std::string name;
  active_interface(&name);
  net_system().Trace("killing dhcp client\n");
  net_system().Run("killall udhcpc");
  if (rewrite_interfaces("device=" + name + " mode=static address=" + address +
                             " netmask=" + netmask + " gateway=" + gateway,
                         true) != 0) {
    return -1;
  }
  return restart_interface(name);
}

}  // namespace nvtd
