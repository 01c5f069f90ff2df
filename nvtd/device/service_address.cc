// The camera address for replies, from a NETWORK section of the settings client.
#include "nvtd/device/service_address.h"

#include "nvtd/core/process_state.h"
#include "nvtd/getset/section_cache.h"
#include "nvtd/soap/format_text.h"

namespace nvtd {

std::string address_of(const SettingsClient* network) {
  char address[16] = "xxx.xxx.xxx.xxx";
  if (network == nullptr) return address;
  network->GetValue("ipaddress", address, sizeof address);
  // An interface without an address reads as an empty value: a URL needs a host.
  if (address[0] == '\0') return kAddressPlaceholder;
  return address;
}

std::string camera_address_open() {
  SettingsClient network;
  if (network.GetSection("NETWORK") != 0) return kAddressPlaceholder;
  return address_of(&network);
}

std::string camera_address_cached() {
  return address_of(section(SectionId::kNetwork));
}

std::string service_xaddr(const std::string& address, const char* path) {
  return format_text("http://%s:%d%s", address.c_str(), config().http_port, path);
}

}  // namespace nvtd
