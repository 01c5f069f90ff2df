// GetServices and GetServiceCapabilities. Both are answered before authentication and read
// the camera address through a NETWORK client of their own.
#include "nvtd/device/services.h"

#include <cstdlib>
#include <cstring>

#include "nvtd/core/process_state.h"
#include "nvtd/device/device_templates.h"
#include "nvtd/device/service_address.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/format_text.h"
#include "nvtd/soap/operation_namespace.h"
#include "nvtd/soap/writers.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

struct ServiceRow {
  Service kind;
  const char* name_space;
  const char* path;
  int major, minor;
};

// In the order GetServices lists them.
constexpr ServiceRow kServices[] = {
    {Service::kDevice, kDeviceServiceNamespace, kDeviceServicePath, 1, 4},
    {Service::kEvents, kEventsServiceNamespace, kEventsServicePath, 1, 4},
    {Service::kMedia, kMediaServiceNamespace, kMediaServicePath, 1, 5},
    {Service::kDeviceIo, kDeviceIoServiceNamespace, kDeviceIoServicePath, 1, 4},
    {Service::kImaging, kImagingServiceNamespace, kImagingServicePath, 2, 0},
    {Service::kMedia2, kMedia2ServiceNamespace, kMedia2ServicePath, 2, 0},
};

// The capabilities of a service.
std::string own_capabilities(Service kind) {
  switch (kind) {
    case Service::kDevice:
      return kDeviceServiceCapabilities;
    case Service::kEvents:
      return kEventsServiceCapabilities;
    case Service::kMedia:
      return kMediaServiceCapabilities;
    case Service::kDeviceIo:
      return format_text(kDeviceIoServiceCapabilities, RelayCount);
    case Service::kMedia2:
      return media2_service_capabilities();
    case Service::kImaging:
    case Service::kUnserved:
      break;
  }
  return kImagingServiceCapabilities;
}

void send_events_service_capabilities(const Request& request, Reply& reply) {
  std::string message_id = element_text(request.body, "MessageID", 64).value_or("");
  std::string address = camera_address_open();
  send_body(reply, kEventsServiceCapabilitiesResponse, xml_safe(message_id).c_str(),
            address.c_str(), config().http_port);
}

}  // namespace

std::string media2_service_capabilities() {
  return format_text(kMedia2ServiceCapabilities, kMedia2MaximumProfiles,
                     HwAudio ? " AudioSource AudioEncoder" : "");
}

std::string service_list(const std::string& address, bool with_capabilities) {
  std::string list;
  for (const ServiceRow& row : kServices) {
    std::string capabilities;
    if (with_capabilities) {
      capabilities = format_text(kServiceCapabilitiesWrapper, own_capabilities(row.kind).c_str());
    }
    list += format_text(kService, row.name_space, service_xaddr(address, row.path).c_str(),
                        capabilities.c_str(), row.major, row.minor);
  }
  return list;
}

Service service_for_uri(const char* request_uri) {
  if (request_uri == nullptr) return Service::kDevice;
  if (strstr(request_uri, "deviceio_service") != nullptr) return Service::kDeviceIo;
  if (strstr(request_uri, "imaging_service") != nullptr) return Service::kImaging;
  if (strstr(request_uri, "media_service") != nullptr) return Service::kMedia;
  if (strstr(request_uri, "media2_service") != nullptr) return Service::kMedia2;
  if (strstr(request_uri, "events_service") != nullptr) return Service::kEvents;
  return Service::kDevice;
}

HandlerOutcome handle_get_services(const Request& request, Reply& reply) {
  auto include = element_text(request.body, "IncludeCapability", 32);
  bool with_capabilities = include && !include->empty() && *include != "false";
  std::string list = service_list(camera_address_open(), with_capabilities);
  send_body(reply, kServicesResponse, list.c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_get_service_capabilities(const Request& request, Reply& reply) {
  const char* uri = request.uri ? request.uri->c_str() : nullptr;
  trace("check GetServiceCapabilities uri %s\n", uri != nullptr ? uri : "");
  switch (request_service(request).value_or(service_for_uri(uri))) {
    case Service::kDeviceIo:
      send_envelope(reply, kDeviceIoServiceCapabilitiesEnvelope.c_str(), RelayCount);
      break;
    case Service::kMedia:
      send_body(reply, kMediaServiceCapabilitiesResponse, kMediaServiceCapabilities);
      break;
    case Service::kEvents:
      send_events_service_capabilities(request, reply);
      break;
    case Service::kImaging:
      send_body(reply, kImagingServiceCapabilitiesResponse, kImagingServiceCapabilities);
      break;
    case Service::kDevice:
    case Service::kMedia2:  // the Media2 room answers its own
    case Service::kUnserved:
      trace("default service\n");
      send_body(reply, kDeviceServiceCapabilitiesResponse, kDeviceServiceCapabilities);
      break;
  }
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
