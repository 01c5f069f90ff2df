// The XML declaration and SOAP 1.2 Envelope start tag of the complete-envelope replies that
// announce only a few namespace prefixes (EnvelopeOpening in envelope.h announces all of them),
// one definition per prefix set, and join_text to put fixed texts together at compile time.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace nvtd {

// clang-format off

// SOAP-ENV, tt, tds: GetScopes, GetHostname, GetZeroConfiguration.
inline constexpr char kTtTdsEnvelopeOpening[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\""
    " xmlns:tt=\"http://www.onvif.org/ver10/schema\""
    " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\">";

// SOAP-ENV, tds: SetNTP, SetSystemDateAndTime.
inline constexpr char kTdsEnvelopeOpening[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\""
    " xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\">";

// SOAP-ENV, trt, tt: GetStreamUri, GetSnapshotUri.
inline constexpr char kTrtTtEnvelopeOpening[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\""
    " xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\""
    " xmlns:tt=\"http://www.onvif.org/ver10/schema\">";

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
