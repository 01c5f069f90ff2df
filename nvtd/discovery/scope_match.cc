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

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool same_any_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "%XX" becomes its byte; a "%" not followed by two hex digits stays as it is.
std::string percent_decoded(std::string_view segment) {
  std::string out;
  for (std::size_t i = 0; i < segment.size(); ++i) {
    if (segment[i] == '%' && i + 2 < segment.size()) {
      int high = hex_value(segment[i + 1]), low = hex_value(segment[i + 2]);
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

bool valid_scheme(std::string_view scheme) {
  if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme[0]))) return false;
  for (char c : scheme) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return true;
}

std::optional<ScopeParts> parse(std::string_view uri) {
  std::size_t colon = uri.find(':');
  if (colon == std::string_view::npos || !valid_scheme(uri.substr(0, colon))) return std::nullopt;
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
    std::string decoded = percent_decoded(segment);
    if (decoded == "." || decoded == "..") return std::nullopt;
    parts.segments.push_back(std::move(decoded));
  }
  return parts;
}

bool parts_match(const ScopeParts& probe, const ScopeParts& camera) {
  if (!same_any_case(probe.scheme, camera.scheme) ||
      !same_any_case(probe.authority, camera.authority) ||
      probe.segments.size() > camera.segments.size()) {
    return false;
  }
  for (std::size_t i = 0; i < probe.segments.size(); ++i) {
    if (probe.segments[i] != camera.segments[i]) return false;
  }
  return true;
}

}  // namespace

bool rfc3986_scope_match(std::string_view probe_scope, std::string_view camera_scope) {
  std::optional<ScopeParts> probe = parse(probe_scope);
  std::optional<ScopeParts> camera = parse(camera_scope);
  return probe && camera && parts_match(*probe, *camera);
}

bool every_scope_matches(std::string_view probe_scopes,
                         const std::vector<std::string>& camera_scopes) {
  std::vector<ScopeParts> camera;
  for (const std::string& scope : camera_scopes) {
    if (std::optional<ScopeParts> parts = parse(scope)) camera.push_back(std::move(*parts));
  }
  bool named = false;
  std::size_t at = 0;
  while (at < probe_scopes.size()) {
    if (is_space(probe_scopes[at])) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end < probe_scopes.size() && !is_space(probe_scopes[end])) ++end;
    std::optional<ScopeParts> probe = parse(probe_scopes.substr(at, end - at));
    if (!probe) return false;
    bool found = false;
    for (const ScopeParts& own : camera) {
      if (parts_match(*probe, own)) {
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
