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
      {"GetCapabilities", AccessClass::kPreAuth, CallForm::kRequest, handle_get_capabilities},
      {"GetHostname", AccessClass::kPreAuth, CallForm::kRequest, handle_get_hostname},
      {"GetServices", AccessClass::kPreAuth, CallForm::kRequest, handle_get_services},
      {"GetServiceCapabilities", AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_service_capabilities},
      {"GetSystemDateAndTime", AccessClass::kPreAuth, CallForm::kRequest,
       handle_get_system_date_and_time},
      {"SetSystemDateAndTime", AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_set_system_date_and_time},
      {"GetDeviceInformation", AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_device_information},
      {"GetNetworkInterfaces", AccessClass::kReadSystem, CallForm::kRequest, handle_get_net_if},
      {"GetRelayOutputs", AccessClass::kReadSystem, CallForm::kRequest, handle_get_relay_outputs},
      {"SetNTP", AccessClass::kWriteSystem, CallForm::kRequest, handle_set_ntp},
      {"GetDNS", AccessClass::kReadSystem, CallForm::kRequest, handle_get_dns},
      {"GetNetworkProtocols", AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_network_protocols},
      {"GetZeroConfiguration", AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_zero_configuration},
      {"GetNTP", AccessClass::kReadSystem, CallForm::kRequest, handle_get_ntp},
      {"GetNetworkDefaultGateway", AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_network_default_gateway},
      {"GetDiscoveryMode", AccessClass::kReadSystem, CallForm::kRequest, handle_get_discovery_mode},
      {"SetDiscoveryMode", AccessClass::kWriteSystem, CallForm::kRequest,
       handle_set_discovery_mode},
      {"GetUsers", AccessClass::kReadSystemSecret, CallForm::kRequest, handle_get_users},
      {"SystemReboot", AccessClass::kUnrecoverable, CallForm::kRequest, handle_system_reboot},
      {"SetSystemFactoryDefault", AccessClass::kUnrecoverable, CallForm::kRequest,
       handle_set_system_factory_default},
      {"SetHostname", AccessClass::kWriteSystem, CallForm::kRequest, handle_set_hostname},
      {"SetDNS", AccessClass::kWriteSystem, CallForm::kRequest, handle_set_dns},
      {"SetNetworkDefaultGateway", AccessClass::kWriteSystem, CallForm::kRequest,
       handle_set_network_default_gateway},
      {"GetWsdlUrl", AccessClass::kPreAuth, CallForm::kRequest, handle_get_wsdl_url},
      {"SetNetworkInterfaces", AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_set_network_interfaces},
      {"CreateUsers", AccessClass::kWriteSystem, CallForm::kBodyPart, handle_create_users},
      {"DeleteUsers", AccessClass::kWriteSystem, CallForm::kBodyPart, handle_delete_users},
      {"SetUser", AccessClass::kWriteSystem, CallForm::kBodyPart, handle_set_user},
      {"SetNetworkProtocols", AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_set_network_protocols},
      {"SetRelayOutputSettings", AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_set_relay_output_settings},
      {"SetRelayOutputState", AccessClass::kActuate, CallForm::kBodyPart,
       handle_set_relay_output_state},
  };
}

}  // namespace nvtd
