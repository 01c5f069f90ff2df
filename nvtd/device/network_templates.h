// Response templates of the network configuration and device control operations, exactly
// as clients receive them. Body templates follow EnvelopeOpening; complete envelopes are
// joined to the shared opening of their prefix set.
#pragma once

#include "nvtd/soap/envelope.h"

namespace nvtd {

// clang-format off

// Filled by name: {hw_address}, {config_kind} ("FromDHCP" or "Manual", the element around the
// address), {address}, {prefix_length}, {dhcp} ("true" or "false").
inline constexpr char kGetNetworkInterfacesResponse[] =
    "<SOAP-ENV:Body><tds:GetNetworkInterfacesResponse><tds:NetworkInterfaces token=\"eth0\">"
    "<tt:Enabled>true</tt:Enabled><tt:Info><tt:Name>eth0</tt:Name>"
    "<tt:HwAddress>{hw_address}</tt:HwAddress><tt:MTU>1500</tt:MTU></tt:Info>"
    "<tt:Link><tt:AdminSettings>"
    "<tt:AutoNegotiation>true</tt:AutoNegotiation><tt:Speed>100</tt:Speed>"
    "<tt:Duplex>Full</tt:Duplex></tt:AdminSettings><tt:OperSettings>"
    "<tt:AutoNegotiation>true</tt:AutoNegotiation><tt:Speed>100</tt:Speed>"
    "<tt:Duplex>Full</tt:Duplex></tt:OperSettings><tt:InterfaceType>6</tt:InterfaceType>"
    "</tt:Link><tt:IPv4><tt:Enabled>true</tt:Enabled><tt:Config><tt:{config_kind}>"
    "<tt:Address>{address}</tt:Address><tt:PrefixLength>{prefix_length}</tt:PrefixLength>"
    "</tt:{config_kind}><tt:DHCP>{dhcp}</tt:DHCP></tt:Config></tt:IPv4></tds:NetworkInterfaces>"
    "</tds:GetNetworkInterfacesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// "true" or "false", the element name ("DNSFromDHCP" or "DNSManual"), the name server, the
// element name again.
inline constexpr char kGetDnsAddressResponse[] =
    "<SOAP-ENV:Body><tds:GetDNSResponse><tds:DNSInformation><tt:FromDHCP>%s</tt:FromDHCP>"
    "<tt:%s><tt:Type>IPv4</tt:Type><tt:IPv4Address>%s</tt:IPv4Address></tt:%s>"
    "</tds:DNSInformation></tds:GetDNSResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// "true" or "false", the search domain.
inline constexpr char kGetDnsSearchDomainResponse[] =
    "<SOAP-ENV:Body><tds:GetDNSResponse><tds:DNSInformation><tt:FromDHCP>%s</tt:FromDHCP>"
    "<tt:SearchDomain>%s</tt:SearchDomain></tds:DNSInformation></tds:GetDNSResponse>"
    "</SOAP-ENV:Body></SOAP-ENV:Envelope>";

// The gateway.
inline constexpr char kGetNetworkDefaultGatewayResponse[] =
    "<SOAP-ENV:Body><tds:GetNetworkDefaultGatewayResponse><tds:NetworkGateway>"
    "<tt:IPv4Address>%s</tt:IPv4Address></tds:NetworkGateway>"
    "</tds:GetNetworkDefaultGatewayResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// A complete envelope with an empty header, filled by name: {name}, the host name.
inline constexpr auto kGetHostnameEnvelope = join_text(kTtTdsEnvelopeOpening,
    "<SOAP-ENV:Header></SOAP-ENV:Header>"
    "<SOAP-ENV:Body><tds:GetHostnameResponse><tds:HostnameInformation>"
    "<tt:FromDHCP>false</tt:FromDHCP><tt:Name>{name}</tt:Name></tds:HostnameInformation>"
    "</tds:GetHostnameResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>");

inline constexpr char kGetNtpResponse[] =
    "<SOAP-ENV:Body><tds:GetNTPResponse><tds:NTPInformation><tt:FromDHCP>false</tt:FromDHCP>"
    "</tds:NTPInformation></tds:GetNTPResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// A complete envelope with an empty header.
inline constexpr auto kSetNtpEnvelope = join_text(kTdsEnvelopeOpening,
    "<SOAP-ENV:Header></SOAP-ENV:Header>"
    "<SOAP-ENV:Body><tds:SetNTPResponse></tds:SetNTPResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>");

// HTTP enabled, HTTP port, RTSP enabled, RTSP port.
inline constexpr char kGetNetworkProtocolsResponse[] =
    "<SOAP-ENV:Body><tds:GetNetworkProtocolsResponse><tds:NetworkProtocols>"
    "<tt:Name>HTTP</tt:Name><tt:Enabled>%s</tt:Enabled><tt:Port>%d</tt:Port>"
    "</tds:NetworkProtocols><tds:NetworkProtocols><tt:Name>RTSP</tt:Name>"
    "<tt:Enabled>%s</tt:Enabled><tt:Port>%d</tt:Port></tds:NetworkProtocols>"
    "</tds:GetNetworkProtocolsResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// "" when discoverable, "Non" otherwise.
inline constexpr char kGetDiscoveryModeResponse[] =
    "<SOAP-ENV:Body><tds:GetDiscoveryModeResponse>"
    "<tds:DiscoveryMode>%sDiscoverable</tds:DiscoveryMode>"
    "</tds:GetDiscoveryModeResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// A complete envelope without a header.
inline constexpr auto kGetZeroConfigurationEnvelope = join_text(kTtTdsEnvelopeOpening,
    "<SOAP-ENV:Body><tds:GetZeroConfigurationResponse><tds:ZeroConfiguration>"
    "<tt:InterfaceToken>eth0</tt:InterfaceToken><tt:Enabled>false</tt:Enabled>"
    "</tds:ZeroConfiguration></tds:GetZeroConfigurationResponse></SOAP-ENV:Body>"
    "</SOAP-ENV:Envelope>");

inline constexpr char kSetNetworkInterfacesResponse[] =
    "<SOAP-ENV:Body><tds:SetNetworkInterfacesResponse><tds:RebootNeeded>false</tds:RebootNeeded>"
    "</tds:SetNetworkInterfacesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

inline constexpr char kSystemRebootResponse[] =
    "<SOAP-ENV:Body><tds:SystemRebootResponse>"
    "<tds:Message>The system is rebooting now.</tds:Message>"
    "</tds:SystemRebootResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";

// clang-format on

// Shown for a hardware address the settings do not hold (the IPv4 placeholder is in
// service_address.h).
inline constexpr char kHwAddressPlaceholder[] = "xx:xx:xx:xx:xx:xx";

}  // namespace nvtd
