// The datagram decision: MessageID for RelatesTo, then the Scopes/Types tests in their fixed
// order. Nothing is parsed beyond substring tests, so every step reads the raw text.
#include "nvtd/discovery/probe_decision.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "nvtd/core/element_reader.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

constexpr std::size_t kRelatesToBytes = 60;  // 59 characters
constexpr std::size_t kTypesBytes = 500;     // 499 characters, Types and Scopes alike

bool Contains(std::string_view text, std::string_view what) {
  return text.find(what) != std::string_view::npos;
}

bool ContainsInvalidAnyCase(std::string_view text) {
  constexpr std::string_view kWord = "invalid";
  auto it = std::search(text.begin(), text.end(), kWord.begin(), kWord.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
  return it != text.end();
}

// Last test: anything marked "invalid" gets no answer; all else gets ProbeMatches.
ProbeAnswer FinalTest(std::string_view text) {
  if (ContainsInvalidAnyCase(text)) {
    trace("discovery: something else invalid\n");
    return ProbeAnswer::kNone;
  }
  return ProbeAnswer::kProbeMatches;
}

ProbeAnswer Decide(std::string_view text, int (*user_scope_match)(std::string_view)) {
  // An empty, self-closed Scopes element asks for any device.
  if (Contains(text, "Scopes /")) return ProbeAnswer::kProbeMatches;
  std::optional<std::string> types = element_text(text, "Types", kTypesBytes);
  if (types && !types->empty() && !Contains(*types, "NetworkVideoTransmitter")) {
    return ProbeAnswer::kProbeMatches;
  }
  std::optional<std::string> scopes = element_text(text, "Scopes", kTypesBytes);
  if (!scopes || scopes->empty()) return FinalTest(text);
  trace("discovery: found Scopes [%s]\n", scopes->c_str());
  if (Contains(text, "InvalidMatchRule")) {
    trace("discovery: found InvalidMatchRule\n");
    return ProbeAnswer::kMatchingRuleFault;
  }
  if (Contains(*scopes, "video_encoder") || Contains(*scopes, "hardware")) return FinalTest(text);
  trace("discovery: no fixed scopes\n");
  if (user_scope_match(*scopes)) return FinalTest(text);
  trace("discovery: no matching user scopes in %s\n", scopes->c_str());
  return ProbeAnswer::kNone;
}

}  // namespace

ProbeDecision DecideProbe(std::string_view datagram,
                          int (*user_scope_match)(std::string_view scopes)) {
  std::string_view text = datagram.substr(0, datagram.find('\0'));
  ProbeDecision decision;
  decision.relates_to =
      element_text(text, "MessageID", kRelatesToBytes).value_or(kDefaultRelatesTo);
  decision.answer = Decide(text, user_scope_match);
  return decision;
}

}  // namespace nvtd
