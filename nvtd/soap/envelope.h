// Every namespace URI nvtd writes or looks for, and every SOAP Envelope start tag it writes:
// EnvelopeOpening, which announces every prefix the body templates use, and the shorter
// openings of the complete-envelope replies and messages, one per prefix set. The URIs are
// string-literal macros so that templates join them at compile time; join_text puts fixed
// texts together the same way.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// clang-format off

// SOAP 1.2 and 1.1, XML Schema, XML security.
#define NS_SOAP_ENV "http://www.w3.org/2003/05/soap-envelope"
#define NS_SOAP_ENC "http://www.w3.org/2003/05/soap-encoding"
#define NS_SOAP11_ENV "http://schemas.xmlsoap.org/soap/envelope/"
#define NS_SOAP11_ENC "http://schemas.xmlsoap.org/soap/encoding/"
#define NS_XSI "http://www.w3.org/2001/XMLSchema-instance"
#define NS_XSD "http://www.w3.org/2001/XMLSchema"
#define NS_C14N "http://www.w3.org/2001/10/xml-exc-c14n#"
#define NS_WSS "http://docs.oasis-open.org/wss/2004/01/"
#define NS_WSU NS_WSS "oasis-200401-wss-wssecurity-utility-1.0.xsd"
#define NS_WSSE NS_WSS "oasis-200401-wss-wssecurity-secext-1.0.xsd"
#define NS_XENC "http://www.w3.org/2001/04/xmlenc#"
#define NS_DS "http://www.w3.org/2000/09/xmldsig#"
#define NS_XMIME "http://www.w3.org/2005/05/xmlmime"
#define NS_XOP "http://www.w3.org/2004/08/xop/include"
// WS-Addressing (2005/08; 2004/08 in WS-Discovery) and its anonymous address.
#define NS_WSA5 "http://www.w3.org/2005/08/addressing"
#define URI_WSA5_ANONYMOUS NS_WSA5 "/anonymous"
#define NS_WSA "http://schemas.xmlsoap.org/ws/2004/08/addressing"
// WS-Notification, WS-Topics, WS-ResourceFramework.
#define NS_WSNT "http://docs.oasis-open.org/wsn/b-2"
#define NS_WSNT_BW "http://docs.oasis-open.org/wsn/bw-2"
#define NS_WSTOP "http://docs.oasis-open.org/wsn/t-1"
#define NS_WSRFBF "http://docs.oasis-open.org/wsrf/bf-2"
#define NS_WSRFR "http://docs.oasis-open.org/wsrf/r-2"
// WS-Discovery: ONVIF's of April 2005, and its 1.1 of 2009.
#define NS_WSD "http://schemas.xmlsoap.org/ws/2005/04/discovery"
#define NS_WSD11 "http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01"
// ONVIF: the schema, the services, the topics, the errors.
#define NS_TT "http://www.onvif.org/ver10/schema"
#define NS_TDS "http://www.onvif.org/ver10/device/wsdl"
#define NS_TEV "http://www.onvif.org/ver10/events/wsdl"
#define NS_TRT "http://www.onvif.org/ver10/media/wsdl"
#define NS_TR2 "http://www.onvif.org/ver20/media/wsdl"
#define NS_TMD "http://www.onvif.org/ver10/deviceIO/wsdl"
#define NS_TIMG "http://www.onvif.org/ver20/imaging/wsdl"
#define NS_TIMG1 "http://www.onvif.org/ver10/imaging/wsdl"
#define NS_TPTZ "http://www.onvif.org/ver20/ptz/wsdl"
#define NS_TPTZ1 "http://www.onvif.org/ver10/ptz/wsdl"
#define NS_TAN "http://www.onvif.org/ver20/analytics/wsdl"
#define NS_TAN1 "http://www.onvif.org/ver10/analytics/wsdl"
#define NS_DN "http://www.onvif.org/ver10/network/wsdl"
#define NS_TER "http://www.onvif.org/ver10/error"
#define NS_TNS "http://www.onvif.org/ver10/topics"
#define NS_TNSOLM "http://www.corvane.com/onvif/topics"
// The topic expression dialect of ONVIF's concrete topic sets.
#define URI_TEV_CONCRETE_SET "http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet"

// One namespace declaration, with the blank before it: XMLNS("tt", NS_TT).
#define XMLNS(prefix, uri) " xmlns:" prefix "=\"" uri "\""
#define XML_DECLARATION "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
#define ENVELOPE_START "<SOAP-ENV:Envelope" XMLNS("SOAP-ENV", NS_SOAP_ENV)

namespace nvtd {

// The XML declaration and the Envelope start tag with every prefix the body templates use.
// Body templates follow it directly.
inline constexpr char EnvelopeOpening[] =
    XML_DECLARATION ENVELOPE_START
    XMLNS("SOAP-ENC", NS_SOAP_ENC) XMLNS("xsi", NS_XSI) XMLNS("xsd", NS_XSD)
    XMLNS("c14n", NS_C14N) XMLNS("wsu", NS_WSU) XMLNS("wsse", NS_WSSE) XMLNS("xenc", NS_XENC)
    XMLNS("ds", NS_DS) XMLNS("wsa5", NS_WSA5) XMLNS("xmime", NS_XMIME) XMLNS("xop", NS_XOP)
    XMLNS("tt", NS_TT) XMLNS("wstop", NS_WSTOP) XMLNS("wsrfbf", NS_WSRFBF)
    XMLNS("wsrfr", NS_WSRFR)
    XMLNS("tan1ae", NS_TAN1 "/AnalyticsEngineBinding") XMLNS("tan1", NS_TAN1)
    XMLNS("tan1re", NS_TAN1 "/RuleEngineBinding")
    XMLNS("tanae", NS_TAN "/AnalyticsEngineBinding") XMLNS("tanre", NS_TAN "/RuleEngineBinding")
    XMLNS("tan", NS_TAN) XMLNS("tds", NS_TDS)
    XMLNS("tev-cpb", NS_TEV "/CreatePullPointBinding") XMLNS("tev-eb", NS_TEV "/EventBinding")
    XMLNS("tev-ncb", NS_TEV "/NotificationConsumerBinding")
    XMLNS("tev-npb", NS_TEV "/NotificationProducerBinding")
    XMLNS("tev-ppb", NS_TEV "/PullPointBinding")
    XMLNS("tev-pps", NS_TEV "/PullPointSubscriptionBinding") XMLNS("tev", NS_TEV)
    XMLNS("tev-psm", NS_TEV "/PausableSubscriptionManagerBinding") XMLNS("wsnt", NS_WSNT)
    XMLNS("tev-smb", NS_TEV "/SubscriptionManagerBinding") XMLNS("timg", NS_TIMG)
    XMLNS("timg1", NS_TIMG1) XMLNS("tmd", NS_TMD) XMLNS("tptz", NS_TPTZ) XMLNS("tptz1", NS_TPTZ1)
    XMLNS("trt", NS_TRT) XMLNS("ter", NS_TER) XMLNS("tns", NS_TNS) XMLNS("tnsolm", NS_TNSOLM)
    ">";

// Its length, 2607 bytes; pull answers count it into their Content-Length.
inline constexpr size_t kEnvelopeOpeningLength = sizeof(EnvelopeOpening) - 1;
static_assert(kEnvelopeOpeningLength == 2607, "the envelope opening is 2607 bytes long");

// The complete-envelope replies that announce only a few prefixes, named by their prefixes in
// the order they are announced after SOAP-ENV.

// tt, tds: GetScopes, GetHostname, GetZeroConfiguration.
inline constexpr char kTtTdsEnvelopeOpening[] =
    XML_DECLARATION ENVELOPE_START XMLNS("tt", NS_TT) XMLNS("tds", NS_TDS) ">";
// tds, tt: GetSystemDateAndTime.
inline constexpr char kTdsTtEnvelopeOpening[] =
    XML_DECLARATION ENVELOPE_START XMLNS("tds", NS_TDS) XMLNS("tt", NS_TT) ">";
// tds: SetNTP, SetSystemDateAndTime.
inline constexpr char kTdsEnvelopeOpening[] = XML_DECLARATION ENVELOPE_START XMLNS("tds", NS_TDS) ">";
// tmd: the device I/O service's GetServiceCapabilities.
inline constexpr char kTmdEnvelopeOpening[] = XML_DECLARATION ENVELOPE_START XMLNS("tmd", NS_TMD) ">";
// trt, tt: GetStreamUri, GetSnapshotUri.
inline constexpr char kTrtTtEnvelopeOpening[] =
    XML_DECLARATION ENVELOPE_START XMLNS("trt", NS_TRT) XMLNS("tt", NS_TT) ">";
// tt, trt: the media replies that come as complete envelopes (GetProfiles and others).
inline constexpr char kTtTrtEnvelopeOpening[] =
    XML_DECLARATION ENVELOPE_START XMLNS("tt", NS_TT) XMLNS("trt", NS_TRT) ">";
// tt, tr2: the Media2 replies.
inline constexpr char kTtTr2EnvelopeOpening[] =
    XML_DECLARATION ENVELOPE_START XMLNS("tt", NS_TT) XMLNS("tr2", NS_TR2) ">";
// wsse, wsa5: the failed-authentication fault.
inline constexpr char kWsseWsa5EnvelopeOpening[] =
    XML_DECLARATION ENVELOPE_START XMLNS("wsse", NS_WSSE) XMLNS("wsa5", NS_WSA5) ">";

// The event service's complete-envelope replies (subscriptions, event properties).
inline constexpr char kEventEnvelopeOpening[] =
    XML_DECLARATION ENVELOPE_START XMLNS("SOAP-ENC", NS_SOAP_ENC) XMLNS("xsi", NS_XSI)
    XMLNS("xsd", NS_XSD) XMLNS("wsa5", NS_WSA5) XMLNS("tt", NS_TT) XMLNS("wstop", NS_WSTOP)
    XMLNS("wsnt", NS_WSNT) XMLNS("tev", NS_TEV) XMLNS("tns1", NS_TNS) XMLNS("tns", NS_TNS) ">";
// The Notify message to an event consumer, a line break after the declaration.
inline constexpr char kNotifyEnvelopeOpening[] =
    XML_DECLARATION "\n" ENVELOPE_START XMLNS("SOAP-ENC", NS_SOAP_ENC) XMLNS("xsi", NS_XSI)
    XMLNS("xsd", NS_XSD) XMLNS("wsa5", NS_WSA5) XMLNS("c14n", NS_C14N) XMLNS("wsu", NS_WSU)
    XMLNS("ds", NS_DS) XMLNS("wsse", NS_WSSE) XMLNS("wsrf-bf", NS_WSRFBF)
    XMLNS("wstop", NS_WSTOP) XMLNS("xmime", NS_XMIME) XMLNS("wsrf", NS_WSRFR)
    XMLNS("wsnt", NS_WSNT) XMLNS("tns1", NS_TNS) ">";

// The WS-Discovery datagrams: Hello (SOAP 1.1 encoding, a line break after the declaration),
// ProbeMatches (likewise, SOAP 1.2 encoding) and the discovery fault (no line break).
#define DISCOVERY_PREFIXES                                                        \
  XMLNS("xsi", NS_XSI) XMLNS("xsd", NS_XSD) XMLNS("wsa", NS_WSA) XMLNS("dn", NS_DN)
#define DISCOVERY_BINDINGS                                                        \
  XMLNS("ns1", NS_DN "/RemoteDiscoveryBinding") XMLNS("ns2", NS_DN "/DiscoveryLookupBinding")
inline constexpr char kHelloEnvelopeOpening[] =
    XML_DECLARATION "\n" ENVELOPE_START XMLNS("SOAP-ENC", NS_SOAP11_ENC) DISCOVERY_PREFIXES
    XMLNS("wsd", NS_WSD) DISCOVERY_BINDINGS ">";
inline constexpr char kProbeMatchesEnvelopeOpening[] =
    XML_DECLARATION "\n" ENVELOPE_START XMLNS("SOAP-ENC", NS_SOAP_ENC) DISCOVERY_PREFIXES
    XMLNS("d", NS_WSD) ">";
inline constexpr char kDiscoveryFaultEnvelopeOpening[] =
    XML_DECLARATION ENVELOPE_START XMLNS("SOAP-ENC", NS_SOAP_ENC) DISCOVERY_PREFIXES
    XMLNS("wsd", NS_WSD) DISCOVERY_BINDINGS ">";
#undef DISCOVERY_PREFIXES
#undef DISCOVERY_BINDINGS

// clang-format on

// A fixed text made of parts at compile time; c_str() and view() without the final NUL.
template <std::size_t N>
struct JoinedText {
  std::array<char, N> chars{};
  constexpr const char* c_str() const { return chars.data(); }
  constexpr std::string_view view() const { return std::string_view(chars.data(), N - 1); }
};

template <std::size_t... N>
constexpr JoinedText<(N + ...) - sizeof...(N) + 1> join_text(const char (&... parts)[N]) {
  JoinedText<(N + ...) - sizeof...(N) + 1> joined;
  std::size_t at = 0;
  for (std::string_view part : {std::string_view(parts, N - 1)...}) {
    for (char c : part) joined.chars[at++] = c;
  }
  return joined;
}

}  // namespace nvtd
