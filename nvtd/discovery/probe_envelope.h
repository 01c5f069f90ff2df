// Whether a datagram is a WS-Discovery Probe at all: a well-formed XML document (no DTD) whose
// root is a SOAP Envelope holding an optional Header and then a Body whose one element is a
// Probe of WS-Discovery. Parsed with expat, namespaces resolved, before any answer is built.
#pragma once

#include <string_view>

#include "nvtd/soap/envelope.h"

namespace nvtd {

// SOAP 1.2 and 1.1 envelopes; WS-Discovery of April 2005 (ONVIF's) and its 1.1 of 2009.
inline constexpr char kSoap12Namespace[] = NS_SOAP_ENV;
inline constexpr char kSoap11Namespace[] = NS_SOAP11_ENV;
inline constexpr char kDiscoveryNamespace[] = NS_WSD;
inline constexpr char kDiscovery11Namespace[] = NS_WSD11;

bool is_probe_envelope(std::string_view text);

}  // namespace nvtd
