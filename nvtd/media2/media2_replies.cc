// Media2 reply framing and GetServiceCapabilities.
#include "nvtd/media2/media2_replies.h"

#include <string>

#include "nvtd/device/device_templates.h"
#include "nvtd/device/services.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

static_assert(kMedia2MaximumProfiles == kProfileSlots + 2,
              "Media2's profile limit is the fixed profiles and the store's slots");

HandlerOutcome handle_get_service_capabilities2(const Request&, Reply& reply) {
  send_media2_service_capabilities(reply);
  return HandlerOutcome::kAnswered;
}

void send_tr2_response(Reply& reply, const char* name, std::string_view content) {
  std::string body = "<SOAP-ENV:Body><tr2:";
  body.append(name).append(kTr2Declaration).append(">");
  body.append(content).append("</tr2:").append(name).append(">");
  body += "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
  send_body_text(reply, body);
}

}  // namespace nvtd
