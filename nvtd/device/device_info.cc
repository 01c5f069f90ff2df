// GetDeviceInformation from the request's cached INFO section.
#include "nvtd/device/device_info.h"

#include <string>

#include "nvtd/device/device_templates.h"
#include "nvtd/getset/section_cache.h"
#include "nvtd/soap/writers.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

constexpr char kManufacturer[] = "Corvane";

// A value of the INFO section, at most capacity - 1 characters, empty when missing.
std::string info_value(const char* key, std::size_t capacity) {
  std::string value;
  if (const SettingsClient* info = section(SectionId::kInfo)) {
    info->GetValue(key, &value, capacity);
  }
  return value;
}

}  // namespace

HandlerOutcome handle_get_device_information(const Request&, Reply& reply) {
  std::string model = xml_safe(info_value("model", 24));
  std::string version = xml_safe(info_value("version", 16));
  send_body(reply, kDeviceInformationResponse, kManufacturer, model.c_str(), version.c_str(),
            "N/A");
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
