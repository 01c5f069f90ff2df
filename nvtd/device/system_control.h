// SystemReboot and SetSystemFactoryDefault: the reply goes out first, then the camera's
// reset script and "reboot -d 3" (whose delay lets the reply reach the client).
#pragma once

#include <string>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// The reset command for a FactoryDefault value: the full reset for "Hard" in any case,
// the reset that keeps the IP settings for anything else.
std::string factory_reset_command(const std::string& kind);

HandlerOutcome handle_system_reboot(const Request& request, Reply& reply);               // plain
HandlerOutcome handle_set_system_factory_default(const Request& request, Reply& reply);  // plain

}  // namespace nvtd
