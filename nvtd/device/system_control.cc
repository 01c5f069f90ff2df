// Reboot and factory reset. The commands are fixed texts run through the system seam;
// no request value reaches them. Their exit status is not examined.
#include "nvtd/device/system_control.h"

#include <strings.h>

#include <optional>
#include <string_view>

#include "nvtd/device/network_reply.h"
#include "nvtd/device/network_templates.h"
#include "nvtd/discovery/discovery_thread.h"
#include "nvtd/netconfig/net_system.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

constexpr char kRebootCommand[] = "reboot -d 3";

}  // namespace

std::string factory_reset_command(const std::string& kind) {
  if (strcasecmp(kind.c_str(), "Hard") == 0) return "/usr/local/bin/reset_factory.sh";
  return "/usr/local/bin/reset_factory.sh saveip";
}

HandlerOutcome handle_system_reboot(const Request&, Reply& reply) {
  cancel_hellos();
  send_body(reply, kSystemRebootResponse);
  reply.flush();  // the answer goes out before the camera goes down
  net_system().Run(kRebootCommand);
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_system_factory_default(const Request& request, Reply& reply) {
  std::string_view body = request.body;
  std::optional<std::string> kind = element_text(body, "FactoryDefault", 50);
  if (!kind) {
    send_text_reply(reply, "Factory reset type not specified\n");
    return HandlerOutcome::kAnswered;
  }
  send_empty_device_response(reply, "SetSystemFactoryDefault");
  reply.flush();
  net_system().Run(factory_reset_command(*kind));
  net_system().Run(kRebootCommand);
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
