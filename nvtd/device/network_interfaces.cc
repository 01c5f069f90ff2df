// The interface operations. A static change is one NETWORK set of up to two records
// (netmask, then address); only a dotted-quad address is ever written, since the NETWORK
// section hands it on to the interface scripts.
#include "nvtd/device/network_interfaces.h"

#include <optional>
#include <string>
#include <string_view>

#include "nvtd/core/process_state.h"
#include "nvtd/device/network_prefix.h"
#include "nvtd/device/network_records.h"
#include "nvtd/device/network_reply.h"
#include "nvtd/device/network_templates.h"
#include "nvtd/device/service_address.h"
#include "nvtd/discovery/discovery_thread.h"
#include "nvtd/events/event_service.h"
#include "nvtd/netconfig/net_values.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/named_format.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

constexpr std::size_t kField = 32;  // each request value up to 31 characters

// Twelve hex digits "AABBCCDDEEFF" as "AA:BB:CC:DD:EE:FF".
std::string colon_pairs(const std::string& digits) {
  std::string out;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    if (i > 0) out += ':';
    out += digits.substr(i, 2);
  }
  return out;
}

}  // namespace

std::string network_interfaces_body(const InterfaceReport& report) {
  return named_text(kGetNetworkInterfacesResponse,
                    {{"hw_address", report.hw_address},
                     {"config_kind", report.dhcp ? "FromDHCP" : "Manual"},
                     {"address", report.address},
                     {"prefix_length", report.prefix_length},
                     {"dhcp", report.dhcp ? "true" : "false"}});
}

HandlerOutcome handle_get_net_if(const Request&, Reply& reply) {
  InterfaceReport report;
  report.address = cached_network_value("ipaddress", 16, kAddressPlaceholder);
  int dhcp = cached_network_int("dhcp");  // a missing key (-1) counts as DHCP on
  report.dhcp = dhcp != 0;
  std::optional<std::string> hwaddr = cached_network_lookup("hwaddr", 13);
  report.hw_address = hwaddr ? colon_pairs(*hwaddr) : kHwAddressPlaceholder;
  // A missing netmask reports prefix length 0, like a netmask that is no contiguous mask.
  report.prefix_length = prefix_length_of(cached_network_value("netmask", 16, ""));
  trace("%s: dhcp is %d\n", "handle_get_net_if", dhcp);
  send_body(reply, "%s", network_interfaces_body(report).c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_network_interfaces(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  std::string token = element_text(body, "InterfaceToken", kField).value_or("");
  if (token != "eth0") {
    send_text_reply(reply, "Invalid interface %s\n", token.c_str());
    return HandlerOutcome::kAnswered;
  }
  std::optional<std::string> prefix = element_text(body, "PrefixLength", kField);
  std::string netmask;
  if (prefix) {
    int prefix_length = parse_prefix_length(*prefix);
    if (prefix_length < 0) {
      send_text_reply(reply, "Invalid prefix %s\n", prefix->c_str());
      return HandlerOutcome::kAnswered;
    }
    netmask = netmask_of_prefix(prefix_length);
  }
  std::optional<std::string> address = element_text(body, "Address", kField);
  bool dhcp = element_text(body, "DHCP", kField).value_or("") == "true";
  // With DHCP requested the address is ignored; otherwise it goes to the interface
  // scripts, so nothing but a dotted-quad address is taken.
  if (!dhcp && address && !is_dotted_quad(*address)) {
    send_text_reply(reply, "Invalid address %s\n", address->c_str());
    return HandlerOutcome::kAnswered;
  }
  send_body(reply, kSetNetworkInterfacesResponse);
  reply.flush();  // the client has its answer before the address changes under it
  if (dhcp) {
    trace("%s: enabling DHCP\n", "handle_set_network_interfaces");
    write_network_int("dhcp", 1);
  } else if (prefix || address) {
    std::string records;
    if (prefix) records += "netmask = \"" + netmask + "\"\n";
    if (address) records += "ipaddress = \"" + *address + "\"\n";
    trace("%s: setting static ip %s\n", "handle_set_network_interfaces",
          address.value_or("").c_str());
    write_network_records(records);  // the result is not reported: the reply has gone
  }
  request_hello();
  event_refresh_address();
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
