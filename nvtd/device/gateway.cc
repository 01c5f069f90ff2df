// The default gateway. A new gateway is written to NETWORK, which applies it as a static
// setting through the interface scripts, so nothing but a dotted-quad address is taken.
#include "nvtd/device/gateway.h"

#include <optional>
#include <string>
#include <string_view>

#include "nvtd/device/network_records.h"
#include "nvtd/device/network_reply.h"
#include "nvtd/device/network_templates.h"
#include "nvtd/device/service_address.h"
#include "nvtd/netconfig/net_values.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

HandlerOutcome handle_get_network_default_gateway(const Request&, Reply& reply) {
  std::string gateway = cached_network_value("gateway", 32, kAddressPlaceholder);
  send_body(reply, kGetNetworkDefaultGatewayResponse, gateway.c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_network_default_gateway(const Request& request, Reply& reply) {
  std::string_view body = request.body;
  std::optional<std::string> gateway = element_text(body, "IPv4Address", 32);
  if (!gateway) {
    send_text_reply(reply, "Gateway not specified\n");
    return HandlerOutcome::kAnswered;
  }
  if (!is_dotted_quad(*gateway) || write_network_string("gateway", *gateway) != 0) {
    send_text_reply(reply, "Failed to set gateway\n");
    return HandlerOutcome::kAnswered;
  }
  send_empty_device_response(reply, "SetNetworkDefaultGateway");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
