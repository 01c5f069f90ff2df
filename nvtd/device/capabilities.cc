// GetCapabilities: the category choice, the capability blocks and the reply.
#include "nvtd/device/capabilities.h"

#include "nvtd/core/process_state.h"
#include "nvtd/device/device_templates.h"
#include "nvtd/device/service_address.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/format_text.h"
#include "nvtd/soap/writers.h"

namespace nvtd {

CapabilityCategory choose_capability_category(const std::optional<std::string>& category) {
  if (!category || category->empty() || *category == "All") return CapabilityCategory::kAll;
  if (*category == "Device") return CapabilityCategory::kDevice;
  if (*category == "Media") return CapabilityCategory::kMedia;
  if (*category == "Events") return CapabilityCategory::kEvents;
  if (*category == "Imaging") return CapabilityCategory::kImaging;
  if (*category == "Analytics" || *category == "PTZ") {
    return CapabilityCategory::kNoSuchService;
  }
  return CapabilityCategory::kMismatch;
}

std::string capability_blocks(CapabilityCategory category, const std::string& address) {
  bool all = category == CapabilityCategory::kAll;
  std::string blocks;
  if (all || category == CapabilityCategory::kDevice) {
    blocks += format_text(kDeviceCapabilities, service_xaddr(address, kDeviceServicePath).c_str(),
                          RelayCount);
  }
  if (all || category == CapabilityCategory::kEvents) {
    blocks += format_text(kEventsCapabilities, service_xaddr(address, kEventsServicePath).c_str());
  }
  if (all || category == CapabilityCategory::kImaging) {
    blocks +=
        format_text(kImagingCapabilities, service_xaddr(address, kImagingServicePath).c_str());
  }
  if (all || category == CapabilityCategory::kMedia) {
    blocks += format_text(kMediaCapabilities, service_xaddr(address, kMediaServicePath).c_str());
  }
  if (all) {
    blocks +=
        format_text(kDeviceIoCapabilities, service_xaddr(address, kDeviceIoServicePath).c_str(),
                    HwAudio ? 1 : 0, RelayCount);
  }
  return blocks;
}

HandlerOutcome handle_get_capabilities(const Request& request, Reply& reply) {
  auto category = element_text(request.body, "Category", 32);
  CapabilityCategory choice = choose_capability_category(category);
  if (choice == CapabilityCategory::kNoSuchService) {
    send_catalogue_fault(reply, Fault::kNoSuchService);
    return HandlerOutcome::kAnswered;
  }
  if (choice == CapabilityCategory::kMismatch) {
    send_catalogue_fault(reply, Fault::kCategoryMismatch);
    return HandlerOutcome::kAnswered;
  }
  std::string blocks = capability_blocks(choice, camera_address_open());
  send_body(reply, kCapabilitiesResponse, blocks.c_str());
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
