// WS-Discovery (2005/04, WS-Addressing 2004/08) Hello, ProbeMatches and fault datagrams,
// each one SOAP 1.2 envelope filled from a fixed template and cut to 3999 bytes.
#include "nvtd/discovery/discovery_messages.h"

#include <cstdio>

#include "nvtd/soap/envelope.h"
#include "nvtd/soap/named_format.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

#define DISCOVERY_TO "urn:schemas-xmlsoap-org:ws:2005:04:discovery"
#define ENDPOINT                                                                                \
  "<wsa:EndpointReference><wsa:Address>urn:uuid:6d2f81c3-4a7e-4b05-9e1d-{hwaddr}</wsa:Address>" \
  "</wsa:EndpointReference>"
#define XADDRS "http://{address}:{port}/onvif/device_service"

// Placeholders: {random_hex} (eight hex digits), {hwaddr}, {message_number}, {scopes},
// {address}, {port}.
constexpr char kHelloBody[] =
    "<SOAP-ENV:Header>"
    "<wsa:To>" DISCOVERY_TO
    "</wsa:To>"
    "<wsa:Action>" NS_WSD
    "/Hello</wsa:Action>"
    "<wsa:MessageID>uuid:{random_hex}-5e1a-11e4-9c27-{hwaddr}</wsa:MessageID>"
    "<AppSequenceType MessageNumber=\"{message_number}\" InstanceId=\"2\"/>"
    "</SOAP-ENV:Header>"
    "<SOAP-ENV:Body><wsd:Hello>" ENDPOINT
    "<wsd:Types>dn:NetworkVideoTransmitter</wsd:Types>"
    "<wsd:Scopes>{scopes}</wsd:Scopes>"
    "<wsd:XAddrs>" XADDRS
    "</wsd:XAddrs>"
    "<wsd:MetadataVersion>1</wsd:MetadataVersion>"
    "</wsd:Hello></SOAP-ENV:Body></SOAP-ENV:Envelope>\r\n";
constexpr auto kHello = join_text(kHelloEnvelopeOpening, kHelloBody);

// Placeholders as in Hello, and {relates_to}.
constexpr char kProbeMatchesBody[] =
    "<SOAP-ENV:Header>"
    "<wsa:MessageID>uuid:{random_hex}-a7d2-11e0-8b41-0250c2f3a9e6</wsa:MessageID>"
    "<wsa:RelatesTo>{relates_to}</wsa:RelatesTo>"
    "<wsa:To SOAP-ENV:mustUnderstand=\"true\">" NS_WSA
    "/role/anonymous</wsa:To>"
    "<wsa:Action SOAP-ENV:mustUnderstand=\"true\">" NS_WSD
    "/ProbeMatches</wsa:Action>"
    "<d:AppSequence SOAP-ENV:mustUnderstand=\"true\" MessageNumber=\"{message_number}\""
    " InstanceId=\"1315554766\"/>"
    "</SOAP-ENV:Header>"
    "<SOAP-ENV:Body><d:ProbeMatches><d:ProbeMatch>" ENDPOINT
    "<d:Types>dn:NetworkVideoTransmitter</d:Types>"
    "<d:Scopes>{scopes}</d:Scopes>"
    "<d:XAddrs>" XADDRS
    "</d:XAddrs>"
    "<d:MetadataVersion>1</d:MetadataVersion>"
    "</d:ProbeMatch></d:ProbeMatches></SOAP-ENV:Body></SOAP-ENV:Envelope>";
constexpr auto kProbeMatches = join_text(kProbeMatchesEnvelopeOpening, kProbeMatchesBody);

// {random_hex}, {relates_to}, {message_number}.
constexpr char kFaultBody[] =
    "<SOAP-ENV:Header>"
    "<wsa:To>" DISCOVERY_TO
    "</wsa:To>"
    "<wsa:Action>" NS_WSD
    "/fault</wsa:Action>"
    "<wsa:MessageID>uuid:{random_hex}-a7d2-11e0-8b41-0250c2f3a9e6</wsa:MessageID>"
    "<wsa:RelatesTo>{relates_to}</wsa:RelatesTo>"
    "<AppSequenceType MessageNumber=\"{message_number}\" InstanceId=\"1\"/>"
    "</SOAP-ENV:Header>"
    "<SOAP-ENV:Body><SOAP-ENV:Fault>"
    "<SOAP-ENV:Code><SOAP-ENV:Value>SOAP-ENV:Sender</SOAP-ENV:Value>"
    "<SOAP-ENV:Subcode><SOAP-ENV:Value>wsd:MatchingRuleNotSupported</SOAP-ENV:Value>"
    "</SOAP-ENV:Subcode></SOAP-ENV:Code>"
    "<SOAP-ENV:Reason><SOAP-ENV:Text xml:lang=\"en\">"
    "The matching rule specified is not supported</SOAP-ENV:Text></SOAP-ENV:Reason>"
    "</SOAP-ENV:Fault></SOAP-ENV:Body></SOAP-ENV:Envelope>";
constexpr auto kFault = join_text(kDiscoveryFaultEnvelopeOpening, kFaultBody);

// The message id's random part: eight lower-case hex digits.
std::string random_hex(uint32_t random) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", random);
  return text;
}

}  // namespace

std::string build_hello(const DiscoveryIdentity& id, uint32_t random, int message_number,
                        const std::string& user_scopes) {
  return named_text(kHello.view(),
                    {{"random_hex", random_hex(random)},
                     {"hwaddr", id.hwaddr},
                     {"message_number", message_number},
                     {"scopes", scope_list_text(id.model, user_scopes)},
                     {"address", id.address},
                     {"port", id.port}},
                    kDiscoveryMessageBytes);
}

std::string build_probe_matches(const DiscoveryIdentity& id, uint32_t random, int message_number,
                                const std::string& relates_to, const std::string& user_scopes) {
  return named_text(kProbeMatches.view(),
                    {{"random_hex", random_hex(random)},
                     {"relates_to", xml_safe(relates_to)},
                     {"message_number", message_number},
                     {"hwaddr", id.hwaddr},
                     {"scopes", scope_list_text(id.model, user_scopes)},
                     {"address", id.address},
                     {"port", id.port}},
                    kDiscoveryMessageBytes);
}

std::string build_matching_rule_fault(uint32_t random, int message_number,
                                      const std::string& relates_to) {
  return named_text(kFault.view(),
                    {{"random_hex", random_hex(random)},
                     {"relates_to", xml_safe(relates_to)},
                     {"message_number", message_number}},
                    kDiscoveryMessageBytes);
}

}  // namespace nvtd
