// Where the event service gets the camera's IPv4 address (see camera_address.h).
#include "nvtd/events/camera_address.h"

#include "nvtd/getset/section_cache.h"
#include "nvtd/getset/settings_client.h"

namespace nvtd {

static std::string address_of(const SettingsClient& network) {
  std::string address = kUnknownAddress;  // kept when "ipaddress" is missing
  network.GetValue("ipaddress", &address, 32);
  return address;
}

std::string request_camera_address() {
  SettingsClient* network = section(SectionId::kNetwork);
  if (network == nullptr) return fresh_camera_address();
  return address_of(*network);
}

std::string fresh_camera_address() {
  SettingsClient network;
  network.GetSection("NETWORK");
  return address_of(network);
}

}  // namespace nvtd
