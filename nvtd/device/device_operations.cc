// The device room's operations, in the order their names are searched.
#include "nvtd/device/device_operations.h"

#include "nvtd/device/capabilities.h"
#include "nvtd/device/date_time.h"
#include "nvtd/device/device_info.h"
#include "nvtd/device/discovery_mode.h"
#include "nvtd/device/dns.h"
#include "nvtd/device/gateway.h"
#include "nvtd/device/hostname.h"
#include "nvtd/device/network_interfaces.h"
#include "nvtd/device/network_protocols.h"
#include "nvtd/device/ntp.h"
#include "nvtd/device/relay_outputs.h"
#include "nvtd/device/services.h"
#include "nvtd/device/system_control.h"
#include "nvtd/device/users.h"
#include "nvtd/device/wsdl_url.h"
#include "nvtd/device/zero_configuration.h"

namespace nvtd {

OperationSlice device_operations() {
  return {
      {"GetCapabilities", Service::kDevice, AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_capabilities},
      {"GetHostname", Service::kDevice, AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_hostname},
      {"GetServices", Service::kDevice, AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_services},
      // Every service has GetServiceCapabilities; one handler answers for those listed here.
      {"GetServiceCapabilities", Service::kDevice, AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_service_capabilities},
      {"GetServiceCapabilities", Service::kDeviceIo, AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_service_capabilities},
      {"GetServiceCapabilities", Service::kMedia, AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_service_capabilities},
      {"GetServiceCapabilities", Service::kEvents, AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_service_capabilities},
      {"GetServiceCapabilities", Service::kImaging, AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_service_capabilities},
      {"GetSystemDateAndTime", Service::kDevice, AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_system_date_and_time},
      {"SetSystemDateAndTime", Service::kDevice, AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_set_system_date_and_time},
      {"GetDeviceInformation", Service::kDevice, AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_device_information},
      {"GetNetworkInterfaces", Service::kDevice, AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_net_if},
      {"GetRelayOutputs", Service::kDevice, AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_relay_outputs},
      {"SetNTP", Service::kDevice, AccessClass::kWriteSystem, CallForm::kRequest, handle_set_ntp},
      {"GetDNS", Service::kDevice, AccessClass::kReadSystem, CallForm::kRequest, handle_get_dns},
      {"GetNetworkProtocols", Service::kDevice, AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_network_protocols},
      {"GetZeroConfiguration", Service::kDevice, AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_zero_configuration},
      {"GetNTP", Service::kDevice, AccessClass::kReadSystem, CallForm::kRequest, handle_get_ntp},
      {"GetNetworkDefaultGateway", Service::kDevice, AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_network_default_gateway},
      {"GetDiscoveryMode", Service::kDevice, AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_discovery_mode},
      {"SetDiscoveryMode", Service::kDevice, AccessClass::kWriteSystem, CallForm::kRequest,
       handle_set_discovery_mode},
      {"GetUsers", Service::kDevice, AccessClass::kReadSystemSecret, CallForm::kRequest,
       handle_get_users},
      {"SystemReboot", Service::kDevice, AccessClass::kUnrecoverable, CallForm::kRequest,
       handle_system_reboot},
      {"SetSystemFactoryDefault", Service::kDevice, AccessClass::kUnrecoverable, CallForm::kRequest,
       handle_set_system_factory_default},
      {"SetHostname", Service::kDevice, AccessClass::kWriteSystem, CallForm::kRequest,
       handle_set_hostname},
      {"SetDNS", Service::kDevice, AccessClass::kWriteSystem, CallForm::kRequest, handle_set_dns},
      {"SetNetworkDefaultGateway", Service::kDevice, AccessClass::kWriteSystem, CallForm::kRequest,
       handle_set_network_default_gateway},
      {"GetWsdlUrl", Service::kDevice, AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_wsdl_url},
      {"SetNetworkInterfaces", Service::kDevice, AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_set_network_interfaces},
      {"CreateUsers", Service::kDevice, AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_create_users},
      {"DeleteUsers", Service::kDevice, AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_delete_users},
      {"SetUser", Service::kDevice, AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_set_user},
      {"SetNetworkProtocols", Service::kDevice, AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_set_network_protocols},
      {"SetRelayOutputSettings", Service::kDevice, AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_set_relay_output_settings},
      {"SetRelayOutputState", Service::kDevice, AccessClass::kActuate, CallForm::kBodyPart,
       handle_set_relay_output_state},
      // The device I/O service names the device service's GetRelayOutputs and
      // SetRelayOutputState elements, and a SetRelayOutputSettings of its own.
      {"GetRelayOutputs", Service::kDeviceIo, AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_relay_outputs},
      {"SetRelayOutputState", Service::kDeviceIo, AccessClass::kActuate, CallForm::kBodyPart,
       handle_set_relay_output_state},
      {"SetRelayOutputSettings", Service::kDeviceIo, AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_set_io_relay_output_settings},
  };
}

}  // namespace nvtd
