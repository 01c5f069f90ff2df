// EnvelopeOpening: the XML declaration and the SOAP 1.2 Envelope start tag with every
// namespace prefix the body templates use. Body templates follow it directly.
#pragma once

#include <cstddef>

namespace nvtd {

// clang-format off
inline constexpr char EnvelopeOpening[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<SOAP-ENV:Envelope"
    " xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\""
    " xmlns:SOAP-ENC=\"http://www.w3.org/2003/05/soap-encoding\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
    " xmlns:c14n=\"http://www.w3.org/2001/10/xml-exc-c14n#\""
    " xmlns:wsu=\"http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd\""
    " xmlns:wsse=\"http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd\""
    " xmlns:xenc=\"http://www.w3.org/2001/04/xmlenc#\""
    " xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\""
    " xmlns:wsa5=\"http://www.w3.org/2005/08/addressing\""
    " xmlns:xmime=\"http://www.w3.org/2005/05/xmlmime\""
    " xmlns:xop=\"http://www.w3.org/2004/08/xop/include\""
    " xmlns:tt=\"http://www.onvif.org/ver10/schema\""
    " xmlns:wstop=\"http://docs.oasis-open.org/wsn/t-1\""
    " xmlns:wsrfbf=\"http://docs.oasis-open.org/wsrf/bf-2\""
    " xmlns:wsrfr=\"http://docs.oasis-open.org/wsrf/r-2\""
    " xmlns:tan1ae=\"http://www.onvif.org/ver10/analytics/wsdl/AnalyticsEngineBinding\""
    " xmlns:tan1=\"http://www.onvif.org/ver10/analytics/wsdl\""
    " xmlns:tan1re=\"http://www.onvif.org/ver10/analytics/wsdl/RuleEngineBinding\""
    " xmlns:tanae=\"http://www.onvif.org/ver20/analytics/wsdl/AnalyticsEngineBinding\""
    " xmlns:tanre=\"http://www.onvif.org/ver20/analytics/wsdl/RuleEngineBinding\""
    " xmlns:tan=\"http://www.onvif.org/ver20/analytics/wsdl\""
    " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\""
    " xmlns:tev-cpb=\"http://www.onvif.org/ver10/events/wsdl/CreatePullPointBinding\""
    " xmlns:tev-eb=\"http://www.onvif.org/ver10/events/wsdl/EventBinding\""
    " xmlns:tev-ncb=\"http://www.onvif.org/ver10/events/wsdl/NotificationConsumerBinding\""
    " xmlns:tev-npb=\"http://www.onvif.org/ver10/events/wsdl/NotificationProducerBinding\""
    " xmlns:tev-ppb=\"http://www.onvif.org/ver10/events/wsdl/PullPointBinding\""
    " xmlns:tev-pps=\"http://www.onvif.org/ver10/events/wsdl/PullPointSubscriptionBinding\""
    " xmlns:tev=\"http://www.onvif.org/ver10/events/wsdl\""
    " xmlns:tev-psm=\"http://www.onvif.org/ver10/events/wsdl/PausableSubscriptionManagerBinding\""
    " xmlns:wsnt=\"http://docs.oasis-open.org/wsn/b-2\""
    " xmlns:tev-smb=\"http://www.onvif.org/ver10/events/wsdl/SubscriptionManagerBinding\""
    " xmlns:timg=\"http://www.onvif.org/ver20/imaging/wsdl\""
    " xmlns:timg1=\"http://www.onvif.org/ver10/imaging/wsdl\""
    " xmlns:tmd=\"http://www.onvif.org/ver10/deviceIO/wsdl\""
    " xmlns:tptz=\"http://www.onvif.org/ver20/ptz/wsdl\""
    " xmlns:tptz1=\"http://www.onvif.org/ver10/ptz/wsdl\""
    " xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\""
    " xmlns:ter=\"http://www.onvif.org/ver10/error\""
    " xmlns:tns=\"http://www.onvif.org/ver10/topics\""
    " xmlns:tnsolm=\"http://www.corvane.com/onvif/topics\""
    ">";
// clang-format on

// Its length, 2607 bytes; pull answers count it into their Content-Length.
inline constexpr size_t kEnvelopeOpeningLength = sizeof(EnvelopeOpening) - 1;
static_assert(kEnvelopeOpeningLength == 2607, "the envelope opening is 2607 bytes long");

}  // namespace nvtd
