// The RFC 3986 scope rule: each URI is cut into scheme, authority and path segments, and
// the probe's parts are compared with the camera's part by part.
#include "nvtd/discovery/scope_match.h"

#include <cctype>
#include <optional>

namespace nvtd {
namespace {

struct ScopeParts {
  std::string_view scheme;
  std::string_view authority;
  std::vector<std::string> segments;  // decoded, empty ones left out
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool SameAnyCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "%XX" becomes its byte; a "%" not followed by two hex digits stays as it is.
std::string Decoded(std::string_view segment) {
  std::string out;
  for (std::size_t i = 0; i < segment.size(); ++i) {
    if (segment[i] == '%' && i + 2 < segment.size()) {
      int high = HexValue(segment[i + 1]), low = HexValue(segment[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += segment[i];
  }
  return out;
}

bool ValidScheme(std::string_view scheme) {
  if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme[0]))) return false;
  for (char c : scheme) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return true;
}

std::optional<ScopeParts> Parse(std::string_view uri) {
  std::size_t colon = uri.find(':');
  if (colon == std::string_view::npos || !ValidScheme(uri.substr(0, colon))) return std::nullopt;
  ScopeParts parts;
  parts.scheme = uri.substr(0, colon);
  std::string_view rest = uri.substr(colon + 1);
  rest = rest.substr(0, rest.find_first_of("?#"));
  if (rest.substr(0, 2) == "//") {
    std::size_t path = rest.find('/', 2);
    parts.authority = rest.substr(2, path == std::string_view::npos ? rest.npos : path - 2);
    rest = path == std::string_view::npos ? std::string_view() : rest.substr(path);
  }
  while (!rest.empty()) {
    std::size_t slash = rest.find('/');
    std::string_view segment = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (segment.empty()) continue;
    std::string decoded = Decoded(segment);
    if (decoded == "." || decoded == "..") return std::nullopt;
    parts.segments.push_back(std::move(decoded));
  }
  return parts;
}

bool PartsMatch(const ScopeParts& probe, const ScopeParts& camera) {
  if (!SameAnyCase(probe.scheme, camera.scheme) ||
      !SameAnyCase(probe.authority, camera.authority) ||
      probe.segments.size() > camera.segments.size()) {
    return false;
  }
  for (std::size_t i = 0; i < probe.segments.size(); ++i) {
    if (probe.segments[i] != camera.segments[i]) return false;
  }
  return true;
}

}  // namespace

bool Rfc3986ScopeMatch(std::string_view probe_scope, std::string_view camera_scope) {
  std::optional<ScopeParts> probe = Parse(probe_scope);
  std::optional<ScopeParts> camera = Parse(camera_scope);
  return probe && camera && PartsMatch(*probe, *camera);
}

bool EveryScopeMatches(std::string_view probe_scopes,
                       const std::vector<std::string>& camera_scopes) {
  std::vector<ScopeParts> camera;
  for (const std::string& scope : camera_scopes) {
    if (std::optional<ScopeParts> parts = Parse(scope)) camera.push_back(std::move(*parts));
  }
  bool named = false;
  std::size_t at = 0;
  while (at < probe_scopes.size()) {
    if (IsSpace(probe_scopes[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < probe_scopes.size() && !IsSpace(probe_scopes[end])) ++end;
    std::optional<ScopeParts> probe = Parse(probe_scopes.substr(at, end - at));
    if (!probe) return false;
    bool found = false;
    for (const ScopeParts& own : camera) {
      if (PartsMatch(*probe, own)) {
        found = true;
        break;
      }
    }
    if (!found) return false;
    named = true;
    at = end;
  }
  return named;
}

}  // namespace nvtd
