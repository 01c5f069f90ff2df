// GetCapabilities: the device, events, imaging, media and device I/O capability blocks, all or the
// one the request's Category names.
#pragma once

#include <optional>
#include <string>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

enum class CapabilityCategory {
  kAll,  // device, events, imaging, media and the device I/O extension, in this order
  kDevice,
  kMedia,
  kEvents,
  kImaging,
  kNoSuchService,  // a category the camera does not offer (Analytics, PTZ)
  kMismatch,       // not a category name at all
};

// The reply chosen by the Category value (nullopt when the element is absent).
CapabilityCategory choose_capability_category(const std::optional<std::string>& category);

// The blocks of a category (kAll .. kEvents) with the given address, the service port,
// HwAudio and RelayCount filled in.
std::string capability_blocks(CapabilityCategory category, const std::string& address);

// GetCapabilities (open operation, plain): reads "Category" (at most 31 characters) and the
// address through its own NETWORK client.
HandlerOutcome handle_get_capabilities(const Request& request, Reply& reply);

}  // namespace nvtd
