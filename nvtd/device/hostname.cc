// Host-name operations. The name rule also keeps every character the shell treats
// specially out of the host-name commands the NETWORK section runs.
#include "nvtd/device/hostname.h"

#include <optional>
#include <string_view>

#include "nvtd/device/network_records.h"
#include "nvtd/device/network_reply.h"
#include "nvtd/device/network_templates.h"
#include "nvtd/getset/settings_client.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/named_format.h"
#include "nvtd/soap/writers.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

bool is_letter_or_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::string hostname_envelope(const char* name) {
  return named_text(kGetHostnameEnvelope.view(), {{"name", name}});
}

bool hostname_acceptable(const std::string& name) {
  if (name.empty() || !is_letter_or_digit(name.front()) || name.back() == '-') return false;
  for (char c : name) {
    if (!is_letter_or_digit(c) && c != '-') return false;
  }
  return true;
}

HandlerOutcome handle_get_hostname(const Request&, Reply& reply) {
  SettingsClient network;
  network.GetSection("NETWORK");
  char name[64] = "";
  network.GetValue("hostname", name, sizeof name);
  send_envelope(reply, "%s", hostname_envelope(xml_safe(name).c_str()).c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_hostname(const Request& request, Reply& reply) {
  std::string_view body = request.body;
  std::optional<std::string> name = element_text(body, "Name", 64);
  if (!name || !hostname_acceptable(*name)) {
    send_catalogue_fault(reply, Fault::kInvalidHostname);
    return HandlerOutcome::kAnswered;
  }
  if (write_network_string("hostname", *name) != 0) {
    send_text_reply(reply, "Failed to set hostname\n");
    return HandlerOutcome::kAnswered;
  }
  send_empty_device_response(reply, "SetHostname");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
