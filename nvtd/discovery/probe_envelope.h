// Whether a datagram is a WS-Discovery Probe at all: a well-formed XML document (no DTD) whose
// root is a SOAP Envelope holding an optional Header and then a Body whose one element is a
// Probe of WS-Discovery. Parsed with expat, namespaces resolved, before any answer is built.
#pragma once

#include <string_view>

namespace nvtd {

// SOAP 1.2 and 1.1 envelopes; WS-Discovery of April 2005 (ONVIF's) and its 1.1 of 2009.
inline constexpr char kSoap12Namespace[] = "http://www.w3.org/2003/05/soap-envelope";
inline constexpr char kSoap11Namespace[] = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr char kDiscoveryNamespace[] = "http://schemas.xmlsoap.org/ws/2005/04/discovery";
inline constexpr char kDiscovery11Namespace[] =
    "http://docs.oasis-open.org/ws-dd/ns/discovery/2009/01";

bool IsProbeEnvelope(std::string_view text);

}  // namespace nvtd
