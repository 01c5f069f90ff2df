// Finding the namespace of a request's operation without an XML parser: a few start tags are
// read, every step bounded by the text; a name that cannot be resolved counts as unknown.
#include "nvtd/soap/operation_namespace.h"

#include <algorithm>
#include <string>

#include "nvtd/soap/action_text.h"

namespace nvtd {
namespace {

// Character arrays rather than pointers, which the camera's loader would have to relocate.
constexpr char kOnvif[] = "http://www.onvif.org/";
constexpr char kNotification[] = "http://docs.oasis-open.org/wsn/";  // b-2, bw-2
// What stands between kOnvif and "/wsdl" in each service's namespace, in the order of Service.
constexpr char kServicePaths[][16] = {"ver10/device", "ver10/deviceIO", "ver10/media",
                                      "ver20/media",  "ver10/events",   "ver20/imaging"};
constexpr auto npos = std::string_view::npos;

// Bounded cuts that never throw: the first n characters, and what follows them.
std::string_view head(std::string_view text, std::size_t n) {
  return std::string_view(text.data(), std::min(n, text.size()));
}
std::string_view tail(std::string_view text, std::size_t n) {
  text.remove_prefix(std::min(n, text.size()));
  return text;
}

bool starts_with(std::string_view text, std::string_view prefix) {
  return head(text, prefix.size()) == prefix;
}

bool same_letters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x | 0x20) == (y | 0x20);
         });
}

// The service of a namespace URI, or with `action` of the one an action URI begins with (the
// namespace, "/" and the rest). WS-BaseNotification's namespaces are the events service's.
std::optional<Service> service_of_uri(std::string_view uri, bool action) {
  if (starts_with(uri, kNotification)) return Service::kEvents;
  if (!starts_with(uri, kOnvif)) return std::nullopt;
  uri = tail(uri, sizeof kOnvif - 1);
  std::size_t end = uri.find(action ? "/wsdl/" : "/wsdl");
  // A namespace ends there; an action URI goes on.
  if (end == npos || (!action && end + 5 != uri.size())) return std::nullopt;
  uri = head(uri, end);
  // Without regard to case: the device I/O WSDL's own actions say "deviceio".
  for (std::size_t i = 0; i < std::size(kServicePaths); ++i) {
    if (same_letters(uri, kServicePaths[i])) return static_cast<Service>(i);
  }
  return Service::kUnserved;
}

// The next tag from `pos` on, "<" to ">", comments, declarations and processing instructions
// passed over; empty at the end of the text. `pos` moves behind it.
std::string_view next_tag(std::string_view xml, std::size_t& pos) {
  for (;;) {
    std::size_t open = xml.find('<', pos);
    std::size_t close = xml.find('>', open);
    if (close == npos) return {};
    pos = close + 1;
    std::string_view tag(xml.data() + open, pos - open);
    if (tag[1] != '!' && tag[1] != '?') return tag;
  }
}

// A tag's qualified name; empty for an end tag.
std::string_view tag_name(std::string_view tag) {
  return head(tail(tag, 1), tag.find_first_of(" \t\r\n/>", 1) - 1);
}

// The value of the declaration of `prefix` ("" for the default namespace) in a start tag.
std::optional<std::string_view> declared(std::string_view tag, std::string_view prefix) {
  for (std::size_t at = tag.find("xmlns"); at != npos; at = tag.find("xmlns", at + 1)) {
    std::string_view rest = tail(tag, at + 5);
    if (static_cast<unsigned char>(tag[at - 1]) > ' ') continue;  // part of another name
    if (!prefix.empty()) {
      if (rest[0] != ':' || !starts_with(tail(rest, 1), prefix)) continue;
      rest = tail(rest, 1 + prefix.size());
    }
    if (rest.size() < 2 || rest[0] != '=' || (rest[1] != '"' && rest[1] != '\'')) continue;
    std::size_t end = rest.find(rest[1], 2);
    if (end == npos) return std::nullopt;
    return head(tail(rest, 2), end - 2);
  }
  return std::nullopt;
}

}  // namespace

std::optional<Service> service_of_namespace(std::string_view name_space) {
  return service_of_uri(name_space, false);
}

std::optional<Service> service_of_action(std::string_view action) {
  // The first URI in the text (a SOAPAction may be quoted, a content type has more before it),
  // up to a quote, blank or ";".
  action = tail(action, action.find("http://"));
  return service_of_uri(head(action, action.find_first_of("\"'; \t\r\n")), true);
}

std::string_view body_operation_namespace(std::string_view body) {
  std::size_t pos = 0;
  std::string_view root = next_tag(body, pos);
  std::string_view tag = root;
  while (!tag.empty()) {
    std::string_view name = tag_name(tag);
    if (tail(name, name.find(':') + 1) == "Body") break;  // npos + 1: no prefix to skip
    tag = next_tag(body, pos);
  }
  if (tag.size() < 2 || tag[tag.size() - 2] == '/') return {};
  std::string_view child = next_tag(body, pos);
  std::string_view name = child.empty() ? child : tag_name(child);
  if (name.empty()) return {};
  std::size_t colon = name.find(':');
  std::string_view prefix = colon == npos ? "" : head(name, colon);
  for (std::string_view scope : {child, tag, root}) {
    if (auto uri = declared(scope, prefix)) return *uri;
  }
  return {};
}

std::optional<Service> request_service(const Request& request) {
  auto action = find_action_text(request.soap_action ? request.soap_action->c_str() : nullptr,
                                 request.content_type ? request.content_type->c_str() : nullptr,
                                 request.body);
  // Without an action the action text is the body: its namespace is read below.
  if (action && action->size() != request.body.size()) {
    if (auto service = service_of_action(*action)) return service;
  }
  std::string_view name_space = body_operation_namespace(request.body);
  if (name_space.empty()) return std::nullopt;
  return service_of_namespace(name_space);
}

SearchScope search_scope(const Request& request) {
  return {request_service(request), request.uri_or_empty().find("media2_service") != npos};
}

}  // namespace nvtd
