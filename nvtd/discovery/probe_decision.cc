// The datagram decision: is it a Probe envelope, its MessageID for RelatesTo, then the
// Scopes/Types tests in their fixed order and last the RFC 3986 scope rule. Past the envelope
// check (probe_envelope.cc) every step reads the raw text.
#include "nvtd/discovery/probe_decision.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "nvtd/core/process_state.h"
#include "nvtd/discovery/probe_envelope.h"
#include "nvtd/discovery/scope_match.h"
#include "nvtd/soap/element_reader.h"

namespace nvtd {
namespace {

constexpr std::size_t kRelatesToBytes = 60;  // 59 characters
constexpr std::size_t kTypesBytes = 500;     // 499 characters, Types and Scopes alike

// The match_by value in a start tag, or "" when it has none.
std::string_view match_by(std::string_view tag) {
  constexpr std::string_view kName = "MatchBy";
  for (std::size_t at = tag.find(kName); at != std::string_view::npos;
       at = tag.find(kName, at + 1)) {
    if (at == 0 || !(tag[at - 1] == ' ' || tag[at - 1] == '\t' || tag[at - 1] == '\r' ||
                     tag[at - 1] == '\n')) {
      continue;
    }
    std::size_t i = at + kName.size();
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t')) ++i;
    if (i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t')) ++i;
    if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) continue;
    std::size_t close = tag.find(tag[i], i + 1);
    if (close == std::string_view::npos) return tag.substr(i + 1);
    return tag.substr(i + 1, close - i - 1);
  }
  return {};
}

// The default rule: the Scopes element's match_by is absent or names the RFC 3986 (2005:
// RFC 2396) prefix rule, and each of its scopes matches one of the camera's.
bool default_rule_matches(std::string_view text, const std::vector<std::string>& camera_scopes) {
  ElementSpan span;
  if (!find_element(text, "Scopes", &span)) return false;
  std::size_t tag_begin = text.rfind('<', span.value_begin - 1);
  if (tag_begin == std::string_view::npos) return false;
  std::string_view rule = match_by(text.substr(tag_begin, span.value_begin - tag_begin));
  if (!rule.empty() && rule != kMatchByRfc2396 && rule != kMatchByRfc3986) return false;
  return every_scope_matches(text.substr(span.value_begin, span.value_end - span.value_begin),
                             camera_scopes);
}

bool contains(std::string_view text, std::string_view what) {
  return text.find(what) != std::string_view::npos;
}

bool contains_invalid_any_case(std::string_view text) {
  constexpr std::string_view kWord = "invalid";
  auto it = std::search(text.begin(), text.end(), kWord.begin(), kWord.end(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == b;
  });
  return it != text.end();
}

// Last test: anything marked "invalid" gets no answer; all else gets ProbeMatches.
ProbeAnswer final_test(std::string_view text) {
  if (contains_invalid_any_case(text)) {
    trace("discovery: something else invalid\n");
    return ProbeAnswer::kNone;
  }
  return ProbeAnswer::kProbeMatches;
}

ProbeAnswer decide(std::string_view text, const std::vector<std::string>& camera_scopes,
                   int (*user_scope_match)(std::string_view)) {
  // An empty, self-closed Scopes element asks for any device.
  if (contains(text, "Scopes /")) return ProbeAnswer::kProbeMatches;
  std::optional<std::string> types = element_text(text, "Types", kTypesBytes);
  if (types && !types->empty() && !contains(*types, "NetworkVideoTransmitter")) {
    return ProbeAnswer::kProbeMatches;
  }
  std::optional<std::string> scopes = element_text(text, "Scopes", kTypesBytes);
  if (!scopes || scopes->empty()) return final_test(text);
  trace("discovery: found Scopes [%s]\n", scopes->c_str());
  if (contains(text, "InvalidMatchRule")) {
    trace("discovery: found InvalidMatchRule\n");
    return ProbeAnswer::kMatchingRuleFault;
  }
  if (contains(*scopes, "video_encoder") || contains(*scopes, "hardware")) return final_test(text);
  trace("discovery: no fixed scopes\n");
  if (user_scope_match(*scopes)) return final_test(text);
  if (default_rule_matches(text, camera_scopes)) return final_test(text);
  trace("discovery: no matching scopes in %s\n", scopes->c_str());
  return ProbeAnswer::kNone;
}

}  // namespace

ProbeDecision decide_probe(std::string_view datagram, const std::vector<std::string>& camera_scopes,
                           int (*user_scope_match)(std::string_view scopes)) {
  std::string_view text = datagram.substr(0, datagram.find('\0'));
  ProbeDecision decision;
  decision.relates_to =
      element_text(text, "MessageID", kRelatesToBytes).value_or(kDefaultRelatesTo);
  if (!is_probe_envelope(text)) {
    trace("discovery: not a Probe\n");
    return decision;
  }
  decision.answer = decide(text, camera_scopes, user_scope_match);
  return decision;
}

}  // namespace nvtd
