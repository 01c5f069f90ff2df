// NETWORK access for the handlers: lookups in the section cache, sets on fresh clients.
#include "nvtd/device/network_records.h"

#include <vector>

#include "nvtd/getset/section_cache.h"
#include "nvtd/getset/settings_client.h"

namespace nvtd {

std::optional<std::string> cached_network_lookup(const char* key, std::size_t size) {
  const SettingsClient* network = section(SectionId::kNetwork);
  std::vector<char> out(size, '\0');
  if (network == nullptr || network->GetValue(key, out.data(), out.size()) != 0) {
    return std::nullopt;
  }
  return std::string(out.data());
}

std::string cached_network_value(const char* key, std::size_t size, const char* fallback) {
  return cached_network_lookup(key, size).value_or(fallback);
}

int cached_network_int(const char* key) {
  const SettingsClient* network = section(SectionId::kNetwork);
  return network == nullptr ? -1 : network->GetIntValue(key);
}

int write_network_string(const char* key, const std::string& value) {
  SettingsClient client;
  return client.SetStringValue("NETWORK", key, value, true);
}

int write_network_int(const char* key, int value) {
  SettingsClient client;
  return client.SetIntValue("NETWORK", key, value, true);
}

int write_network_records(const std::string& records) {
  SettingsClient client;
  return client.SetSection("NETWORK", records, true);
}

}  // namespace nvtd
