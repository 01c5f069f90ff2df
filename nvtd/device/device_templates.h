// The fixed texts of the device-service answers about the device itself: information,
// capabilities, services, service capabilities, the set date and time, WSDL address and relay
// outputs. Body templates follow EnvelopeOpening; a complete envelope carries its own opening
// or is joined to the shared one of its prefix set.
#pragma once

#include "nvtd/soap/envelope.h"

namespace nvtd {

// Namespaces announced in GetServices (the services' WSDL namespaces).
inline constexpr char kDeviceServiceNamespace[] = NS_TDS;
inline constexpr char kEventsServiceNamespace[] = NS_TEV;
inline constexpr char kMediaServiceNamespace[] = NS_TRT;
inline constexpr char kDeviceIoServiceNamespace[] = NS_TMD;
inline constexpr char kImagingServiceNamespace[] = NS_TIMG;
inline constexpr char kMedia2ServiceNamespace[] = NS_TR2;

// Service paths behind "http://%s:%d".
inline constexpr char kDeviceServicePath[] = "/onvif/device_service";
inline constexpr char kEventsServicePath[] = "/onvif/events_service";
inline constexpr char kMediaServicePath[] = "/onvif/media_service";
inline constexpr char kDeviceIoServicePath[] = "/onvif/deviceio_service";
inline constexpr char kImagingServicePath[] = "/onvif/imaging_service";
inline constexpr char kMedia2ServicePath[] = "/onvif/media2_service";

// Media2's MaximumNumberOfProfiles: the two fixed profiles and the five the media room's store
// holds (nvtd/media2 checks it against the store).
inline constexpr int kMedia2MaximumProfiles = 7;

// clang-format off

// GetDeviceInformation: manufacturer, model, firmware version, serial number.
inline constexpr char kDeviceInformationResponse[] =
    "<SOAP-ENV:Body><tds:GetDeviceInformationResponse><tds:Manufacturer>%s</tds:Manufacturer>"
    "<tds:Model>%s</tds:Model><tds:FirmwareVersion>%s</tds:FirmwareVersion>"
    "<tds:SerialNumber>%s</tds:SerialNumber><tds:HardwareId>N/A</tds:HardwareId>"
    "</tds:GetDeviceInformationResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// GetCapabilities: the response around the chosen blocks.
inline constexpr char kCapabilitiesResponse[] =
    "<SOAP-ENV:Body><tds:GetCapabilitiesResponse><tds:Capabilities>%s</tds:Capabilities>"
    "</tds:GetCapabilitiesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// Device block: device service XAddr, relay output count.
inline constexpr char kDeviceCapabilities[] =
    "<tt:Device><tt:XAddr>%s</tt:XAddr>"
    "<tt:Network><tt:IPFilter>false</tt:IPFilter>"
    "<tt:ZeroConfiguration>false</tt:ZeroConfiguration><tt:IPVersion6>false</tt:IPVersion6>"
    "<tt:DynDNS>false</tt:DynDNS>"
    "<tt:Extension><tt:Dot11Configuration>false</tt:Dot11Configuration></tt:Extension>"
    "</tt:Network>"
    "<tt:System><tt:DiscoveryResolve>true</tt:DiscoveryResolve>"
    "<tt:DiscoveryBye>false</tt:DiscoveryBye><tt:RemoteDiscovery>false</tt:RemoteDiscovery>"
    "<tt:SystemBackup>false</tt:SystemBackup><tt:SystemLogging>false</tt:SystemLogging>"
    "<tt:FirmwareUpgrade>false</tt:FirmwareUpgrade>"
    "<tt:SupportedVersions><tt:Major>1</tt:Major><tt:Minor>2</tt:Minor></tt:SupportedVersions>"
    "<tt:SupportedVersions><tt:Major>1</tt:Major><tt:Minor>1</tt:Minor></tt:SupportedVersions>"
    "<tt:SupportedVersions><tt:Major>2</tt:Major><tt:Minor>10</tt:Minor></tt:SupportedVersions>"
    "<tt:Extension><tt:HttpFirmwareUpgrade>false</tt:HttpFirmwareUpgrade>"
    "<tt:HttpSystemBackup>false</tt:HttpSystemBackup>"
    "<tt:HttpSystemLogging>false</tt:HttpSystemLogging>"
    "<tt:HttpSupportInformation>false</tt:HttpSupportInformation></tt:Extension>"
    "</tt:System>"
    "<tt:IO><tt:InputConnectors>1</tt:InputConnectors><tt:RelayOutputs>%d</tt:RelayOutputs>"
    "</tt:IO>"
    "<tt:Security><tt:TLS1.1>false</tt:TLS1.1><tt:TLS1.2>false</tt:TLS1.2>"
    "<tt:OnboardKeyGeneration>false</tt:OnboardKeyGeneration>"
    "<tt:AccessPolicyConfig>false</tt:AccessPolicyConfig><tt:X.509Token>false</tt:X.509Token>"
    "<tt:SAMLToken>false</tt:SAMLToken><tt:KerberosToken>false</tt:KerberosToken>"
    "<tt:RELToken>false</tt:RELToken>"
    "<tt:Extension><tt:TLS1.0>false</tt:TLS1.0>"
    "<tt:Extension><tt:Dot1X>false</tt:Dot1X><tt:RemoteUserHandling>false</tt:RemoteUserHandling>"
    "</tt:Extension></tt:Extension></tt:Security></tt:Device>";

// Events block: events service XAddr.
inline constexpr char kEventsCapabilities[] =
    "<tt:Events><tt:XAddr>%s</tt:XAddr>"
    "<tt:WSSubscriptionPolicySupport>false</tt:WSSubscriptionPolicySupport>"
    "<tt:WSPullPointSupport>true</tt:WSPullPointSupport>"
    "<tt:WSPausableSubscriptionManagerInterfaceSupport>false"
    "</tt:WSPausableSubscriptionManagerInterfaceSupport></tt:Events>";

// Media block: media service XAddr.
inline constexpr char kMediaCapabilities[] =
    "<tt:Media><tt:XAddr>%s</tt:XAddr>"
    "<tt:StreamingCapabilities><tt:RTPMulticast>false</tt:RTPMulticast>"
    "<tt:RTP_TCP>false</tt:RTP_TCP><tt:RTP_RTSP_TCP>true</tt:RTP_RTSP_TCP>"
    "</tt:StreamingCapabilities>"
    "<tt:Extension><tt:ProfileCapabilities>"
    "<tt:MaximumNumberOfProfiles>15</tt:MaximumNumberOfProfiles>"
    "</tt:ProfileCapabilities></tt:Extension></tt:Media>";

// Imaging block: imaging service XAddr.
inline constexpr char kImagingCapabilities[] = "<tt:Imaging><tt:XAddr>%s</tt:XAddr></tt:Imaging>";

// Extension block (full reply only): device I/O XAddr, audio sources, relay outputs.
inline constexpr char kDeviceIoCapabilities[] =
    "<tt:Extension><tt:DeviceIO><tt:XAddr>%s</tt:XAddr><tt:VideoSources>1</tt:VideoSources>"
    "<tt:VideoOutputs>0</tt:VideoOutputs><tt:AudioSources>%d</tt:AudioSources>"
    "<tt:AudioOutputs>1</tt:AudioOutputs><tt:RelayOutputs>%d</tt:RelayOutputs>"
    "</tt:DeviceIO></tt:Extension>";

// GetServices: the response around the services.
inline constexpr char kServicesResponse[] =
    "<SOAP-ENV:Body><tds:GetServicesResponse>%s</tds:GetServicesResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>";

// One service: namespace, XAddr, capabilities (empty in the short form), major, minor.
inline constexpr char kService[] =
    "<tds:Service><tds:Namespace>%s</tds:Namespace><tds:XAddr>%s</tds:XAddr>%s"
    "<tds:Version><tt:Major>%d</tt:Major><tt:Minor>%d</tt:Minor></tds:Version></tds:Service>";

// The capabilities of one service inside GetServices' long form.
inline constexpr char kServiceCapabilitiesWrapper[] = "<tds:Capabilities>%s</tds:Capabilities>";

// Each service's own capabilities (GetServices long form and GetServiceCapabilities).
inline constexpr char kDeviceServiceCapabilities[] =
    "<tds:Capabilities>"
    "<tds:Network NTP=\"0\" HostnameFromDHCP=\"false\" Dot11Configuration=\"false\""
    " DynDNS=\"false\" IPVersion6=\"false\" ZeroConfiguration=\"false\" IPFilter=\"false\">"
    "</tds:Network>"
    "<tds:Security RELToken=\"false\" HttpDigest=\"true\" UsernameToken=\"true\""
    " KerberosToken=\"false\" SAMLToken=\"false\" X.509Token=\"false\""
    " RemoteUserHandling=\"false\" Dot1X=\"false\" AccessPolicyConfig=\"false\""
    " OnboardKeyGeneration=\"false\" TLS1.2=\"false\" TLS1.1=\"false\" TLS1.0=\"false\">"
    "</tds:Security>"
    "<tds:System HttpSupportInformation=\"false\" HttpSystemLogging=\"false\""
    " HttpSystemBackup=\"false\" HttpFirmwareUpgrade=\"false\" FirmwareUpgrade=\"false\""
    " SystemLogging=\"false\" SystemBackup=\"false\" RemoteDiscovery=\"false\""
    " DiscoveryBye=\"false\" DiscoveryResolve=\"true\"></tds:System>"
    "</tds:Capabilities>";

inline constexpr char kEventsServiceCapabilities[] =
    "<tev:Capabilities WSPausableSubscriptionManagerInterfaceSupport=\"false\""
    " WSPullPointSupport=\"true\" WSSubscriptionPolicySupport=\"false\"></tev:Capabilities>";

inline constexpr char kMediaServiceCapabilities[] =
    "<trt:Capabilities>"
    "<trt:ProfileCapabilities MaximumNumberOfProfiles=\"15\"></trt:ProfileCapabilities>"
    "<trt:StreamingCapabilities RTP_RTSP_TCP=\"true\" RTP_TCP=\"false\" RTPMulticast=\"false\">"
    "</trt:StreamingCapabilities></trt:Capabilities>";

// Media2: the most profiles and, after the video ones, " AudioSource AudioEncoder" when the
// camera has audio; what is not named (rotation, OSDs, multicast, ...) is not supported. The
// prefix is declared here, as GetServices' envelope does not.
inline constexpr char kMedia2ServiceCapabilities[] =
    "<tr2:Capabilities xmlns:tr2=\"" NS_TR2 "\" SnapshotUri=\"true\"><tr2:ProfileCapabilities"
    " MaximumNumberOfProfiles=\"%d\" ConfigurationsSupported=\"VideoSource VideoEncoder%s"
    " Metadata\"/><tr2:StreamingCapabilities RTSPStreaming=\"true\" RTP_RTSP_TCP=\"true\"/>"
    "</tr2:Capabilities>";

inline constexpr char kImagingServiceCapabilities[] =
    "<timg:Capabilities ImageStabilization=\"false\" Presets=\"false\""
    " AdaptablePreset=\"false\"></timg:Capabilities>";

// Relay output count.
inline constexpr char kDeviceIoServiceCapabilities[] =
    "<tmd:Capabilities RelayOutputs=\"%d\" AudioOutputs=\"0\" AudioSources=\"0\""
    " VideoOutputs=\"0\" VideoSources=\"1\"></tmd:Capabilities>";

// GetServiceCapabilities of the device and media services (the service's capabilities).
inline constexpr char kDeviceServiceCapabilitiesResponse[] =
    "<SOAP-ENV:Body><tds:GetServiceCapabilitiesResponse>%s</tds:GetServiceCapabilitiesResponse>"
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
inline constexpr char kImagingServiceCapabilitiesResponse[] =
    "<SOAP-ENV:Body><timg:GetServiceCapabilitiesResponse>%s</timg:GetServiceCapabilitiesResponse>"
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
inline constexpr char kMediaServiceCapabilitiesResponse[] =
    "<SOAP-ENV:Body><trt:GetServiceCapabilitiesResponse>%s</trt:GetServiceCapabilitiesResponse>"
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>";

// GetServiceCapabilities of the device I/O service, a complete envelope: relay output count.
inline constexpr auto kDeviceIoServiceCapabilitiesEnvelope = join_text(kTmdEnvelopeOpening,
    "<SOAP-ENV:Header></SOAP-ENV:Header>"
    "<SOAP-ENV:Body><tmd:GetServiceCapabilitiesResponse>"
    "<tmd:Capabilities DigitalInputs=\"0\" SerialPorts=\"0\" RelayOutputs=\"%d\""
    " AudioOutputs=\"0\" AudioSources=\"0\" VideoOutputs=\"0\" VideoSources=\"1\">"
    "</tmd:Capabilities></tmd:GetServiceCapabilitiesResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>");

// GetServiceCapabilities of the events service, with its WS-Addressing header: the request's
// message id, the camera address and port.
inline constexpr char kEventsServiceCapabilitiesResponse[] =
    "<SOAP-ENV:Header><wsa5:MessageID>%s</wsa5:MessageID>"
    "<wsa5:ReplyTo SOAP-ENV:mustUnderstand=\"true\">"
    "<wsa5:Address>" URI_WSA5_ANONYMOUS "</wsa5:Address></wsa5:ReplyTo>"
    "<wsa5:To SOAP-ENV:mustUnderstand=\"true\">http://%s:%d/onvif/events_service</wsa5:To>"
    "<wsa5:Action SOAP-ENV:mustUnderstand=\"true\">"
    NS_TEV "/EventPortType/GetServiceCapabilitiesResponse"
    "</wsa5:Action></SOAP-ENV:Header>"
    "<SOAP-ENV:Body><tev:GetServiceCapabilitiesResponse>"
    "<tev:Capabilities PersistentNotificationStorage=\"false\" MaxPullPoints=\"20\""
    " MaxNotificationProducers=\"10\" WSPausableSubscriptionManagerInterfaceSupport=\"false\""
    " WSPullPointSupport=\"true\" WSSubscriptionPolicySupport=\"false\"></tev:Capabilities>"
    "</tev:GetServiceCapabilitiesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// GetWsdlUrl: address, port.
inline constexpr char kWsdlUrlResponse[] =
    "<SOAP-ENV:Body><tds:GetWsdlUrlResponse><tds:WsdlUrl>http://%s:%d/wsdl/onvif</tds:WsdlUrl>"
    "</tds:GetWsdlUrlResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// Relay outputs: fixed texts.
inline constexpr char kRelayOutputsResponse[] =
    "<SOAP-ENV:Body><tds:GetRelayOutputsResponse>"
    "<tds:RelayOutputs token=\"t_RelayOut-0\"><tt:Properties><tt:Mode>Bistable</tt:Mode>"
    "<tt:DelayTime>PT1S</tt:DelayTime><tt:IdleState>closed</tt:IdleState></tt:Properties>"
    "</tds:RelayOutputs></tds:GetRelayOutputsResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
inline constexpr char kSetRelayOutputSettingsResponse[] =
    "<SOAP-ENV:Body><tds:SetRelayOutputSettingsResponse></tds:SetRelayOutputSettingsResponse>"
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
inline constexpr char kSetIoRelayOutputSettingsResponse[] =
    "<SOAP-ENV:Body><tmd:SetRelayOutputSettingsResponse></tmd:SetRelayOutputSettingsResponse>"
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
inline constexpr char kSetRelayOutputStateResponse[] =
    "<SOAP-ENV:Body><tds:SetRelayOutputStateResponse></tds:SetRelayOutputStateResponse>"
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>";

// SetSystemDateAndTime success, a complete envelope with an empty header.
inline constexpr auto kSetSystemDateAndTimeEnvelope = join_text(kTdsEnvelopeOpening,
    "<SOAP-ENV:Header></SOAP-ENV:Header>"
    "<SOAP-ENV:Body><tds:SetSystemDateAndTimeResponse></tds:SetSystemDateAndTimeResponse>"
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>");

// clang-format on

}  // namespace nvtd
