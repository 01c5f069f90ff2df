// Finding the namespace of a request's operation without an XML parser: a few start tags are
// read, every step bounded by the text; a name that cannot be resolved counts as unknown.
#include "nvtd/soap/operation_namespace.h"

#include <algorithm>
#include <string>

#include "nvtd/soap/action_text.h"
#include "nvtd/soap/envelope.h"

namespace nvtd {
namespace {

struct ServiceNamespace {
  std::string_view uri;
  Service service;
};

// The services' namespaces; the events service takes the WS-BaseNotification ones too.
constexpr ServiceNamespace kServiceNamespaces[] = {
    {NS_TDS, Service::kDevice},     {NS_TMD, Service::kDeviceIo}, {NS_TRT, Service::kMedia},
    {NS_TR2, Service::kMedia2},     {NS_TEV, Service::kEvents},   {NS_WSNT, Service::kEvents},
    {NS_WSNT_BW, Service::kEvents}, {NS_TIMG, Service::kImaging},
};

constexpr std::string_view kOnvifPrefix = "http://www.onvif.org/";
constexpr std::string_view kBlanks = " \t\r\n";

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool ends_with(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The URI in an action text: behind "action=" when there is one, quotes and blanks skipped.
std::string_view action_uri(std::string_view action) {
  std::size_t at = action.find("action=");
  if (at != std::string_view::npos) action.remove_prefix(at + 7);
  std::size_t begin = action.find_first_not_of("\"' \t\r\n");
  if (begin == std::string_view::npos) return {};
  action.remove_prefix(begin);
  return action.substr(0, action.find_first_of("\"'; \t\r\n"));
}

// A tag, from its "<" to its ">", and its qualified name (empty for an end tag).
struct Tag {
  std::string_view text;
  std::string_view name;
  bool end;
};

// The next tag at or after `pos`, which moves behind it; comments, declarations and
// processing instructions are passed over. nullopt at the end of the text.
std::optional<Tag> next_tag(std::string_view xml, std::size_t& pos) {
  for (;;) {
    std::size_t open = xml.find('<', pos);
    if (open == std::string_view::npos || open + 1 >= xml.size()) return std::nullopt;
    std::size_t close = xml.find('>', open);
    if (close == std::string_view::npos) return std::nullopt;
    pos = close + 1;
    char first = xml[open + 1];
    if (first == '!' || first == '?') continue;
    std::string_view text = xml.substr(open, close + 1 - open);
    if (first == '/') return Tag{text, {}, true};
    return Tag{text, text.substr(1, text.find_first_of(" \t\r\n/>", 1) - 1), false};
  }
}

std::string_view local_name(std::string_view name) {
  std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The value of the declaration of `prefix` ("" for the default namespace) in a start tag.
std::optional<std::string_view> declared(std::string_view tag, std::string_view prefix) {
  for (std::size_t at = tag.find("xmlns"); at != std::string_view::npos;
       at = tag.find("xmlns", at + 5)) {
    if (kBlanks.find(tag[at - 1]) == std::string_view::npos) continue;
    std::string_view rest = tag.substr(at + 5);
    if (!prefix.empty()) {
      if (rest.empty() || rest[0] != ':' || !starts_with(rest.substr(1), prefix)) continue;
      rest.remove_prefix(1 + prefix.size());
    }
    rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(kBlanks)));
    if (rest.empty() || rest[0] != '=') continue;
    rest.remove_prefix(1);
    rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of(kBlanks)));
    if (rest.empty() || (rest[0] != '"' && rest[0] != '\'')) continue;
    std::size_t end = rest.find(rest[0], 1);
    if (end == std::string_view::npos) return std::nullopt;
    return rest.substr(1, end - 1);
  }
  return std::nullopt;
}

}  // namespace

std::optional<Service> service_of_namespace(std::string_view name_space) {
  for (const ServiceNamespace& known : kServiceNamespaces) {
    if (name_space == known.uri) return known.service;
  }
  if (starts_with(name_space, kOnvifPrefix) && ends_with(name_space, "/wsdl"))
    return Service::kUnserved;
  return std::nullopt;
}

std::optional<Service> service_of_action(std::string_view action) {
  std::string_view uri = action_uri(action);
  for (const ServiceNamespace& known : kServiceNamespaces) {
    if (starts_with(uri, known.uri) && uri.size() > known.uri.size() &&
        uri[known.uri.size()] == '/')
      return known.service;
  }
  if (starts_with(uri, kOnvifPrefix) && uri.find("/wsdl/") != std::string_view::npos)
    return Service::kUnserved;
  return std::nullopt;
}

std::string_view body_operation_namespace(std::string_view body) {
  std::size_t pos = 0;
  std::optional<Tag> root = next_tag(body, pos);
  std::optional<Tag> tag = root;
  while (tag && (tag->end || local_name(tag->name) != "Body")) tag = next_tag(body, pos);
  if (!tag || ends_with(tag->text, "/>")) return {};
  Tag body_tag = *tag;
  std::optional<Tag> child = next_tag(body, pos);
  if (!child || child->end) return {};
  std::size_t colon = child->name.find(':');
  std::string_view prefix = colon == std::string_view::npos ? "" : child->name.substr(0, colon);
  for (std::string_view scope : {child->text, body_tag.text, root->text}) {
    if (auto uri = declared(scope, prefix)) return *uri;
  }
  return {};
}

std::optional<Service> request_service(const Request& request) {
  const char* soap_action = request.soap_action ? request.soap_action->c_str() : nullptr;
  const char* content_type = request.content_type ? request.content_type->c_str() : nullptr;
  if (auto action = find_action(soap_action, content_type, request.body)) {
    if (auto service = service_of_action(*action)) return service;
  }
  std::string_view name_space = body_operation_namespace(request.body);
  if (name_space.empty()) return std::nullopt;
  return service_of_namespace(name_space);
}

SearchScope search_scope(const Request& request) {
  return {request_service(request),
          request.uri_or_empty().find("media2_service") != std::string_view::npos};
}

}  // namespace nvtd
