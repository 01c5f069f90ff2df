// DNS operations. The search domain and whether the name server is manual are kept only
// in memory; a name server is written to NETWORK, which rewrites the resolver file, so
// nothing but a dotted-quad address is taken.
#include "nvtd/device/dns.h"

#include <optional>
#include <string>
#include <string_view>

#include "nvtd/device/network_records.h"
#include "nvtd/device/network_reply.h"
#include "nvtd/device/network_state.h"
#include "nvtd/device/network_templates.h"
#include "nvtd/netconfig/net_values.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/writers.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {

HandlerOutcome handle_get_dns(const Request&, Reply& reply) {
  // Stored values are echoed escaped, like request values.
  std::string nameserver = xml_safe(cached_network_value("nameserver", 16, ""));
  if (cached_network_int("dhcp") != 0 && !DnsManual) {
    send_body(reply, kGetDnsAddressResponse, "true", "DNSFromDHCP", nameserver.c_str(),
              "DNSFromDHCP");
  } else if (!SearchDomain.empty()) {
    send_body(reply, kGetDnsSearchDomainResponse, "false", xml_safe(SearchDomain).c_str());
  } else {
    send_body(reply, kGetDnsAddressResponse, "false", "DNSManual", nameserver.c_str(), "DNSManual");
  }
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_dns(const Request& request, Reply& reply) {
  std::string_view body = request.body;
  std::optional<std::string> address = element_text(body, "IPv4Address", 32);
  std::optional<std::string> from_dhcp = element_text(body, "FromDHCP", 32);
  SearchDomain = element_text(body, "SearchDomain", 64).value_or("");
  if (from_dhcp.value_or("") == "true") {
    DnsManual = false;
    send_empty_device_response(reply, "SetDNS");
    return HandlerOutcome::kAnswered;
  }
  if (address) {
    if (!is_dotted_quad(*address) || write_network_string("nameserver", *address) != 0) {
      send_text_reply(reply, "Failed to set DNS\n");
      return HandlerOutcome::kAnswered;
    }
  }
  DnsManual = true;
  send_empty_device_response(reply, "SetDNS");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
