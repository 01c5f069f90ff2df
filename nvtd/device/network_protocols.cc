// The reported protocols. Only the first Name, Enabled and Port elements of a request
// are read: one protocol per request.
#include "nvtd/device/network_protocols.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "nvtd/core/process_state.h"
#include "nvtd/device/network_reply.h"
#include "nvtd/device/network_state.h"
#include "nvtd/device/network_templates.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

int port_value(const std::string& text) {
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int>(value);
}

HandlerOutcome handle_get_network_protocols(const Request&, Reply& reply) {
  send_body(reply, kGetNetworkProtocolsResponse, HttpReportedEnabled ? "true" : "false",
            HttpReportedPort, RtspReportedEnabled ? "true" : "false", RtspReportedPort);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_network_protocols(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  std::optional<std::string> name = element_text(body, "Name", 16);
  std::optional<std::string> enabled = element_text(body, "Enabled", 16);
  std::optional<std::string> port = element_text(body, "Port", 16);
  if (!name || !enabled || !port) {
    send_catalogue_fault(reply, Fault::kConfigModify);
    return HandlerOutcome::kAnswered;
  }
  if (*name == "HTTP") {
    HttpReportedPort = port_value(*port);
    HttpReportedEnabled = *enabled != "false";
  } else if (*name == "RTSP") {
    RtspReportedPort = port_value(*port);
    RtspReportedEnabled = *enabled != "false";
  } else {
    trace("%s: %s unsupported\n", "handle_set_network_protocols", name->c_str());
    send_catalogue_fault(reply, Fault::kServiceNotSupported);
    return HandlerOutcome::kAnswered;
  }
  send_empty_device_response(reply, "SetNetworkProtocols");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
