// Where the event service gets the camera's IPv4 address (see camera_address.h).
#include "nvtd/events/camera_address.h"

namespace nvtd {

// The settings client is not part of this build yet: NETWORK is unavailable.
std::string request_camera_address() {
  return kUnknownAddress;
}

std::string fresh_camera_address() {
  return kUnknownAddress;
}

}  // namespace nvtd
