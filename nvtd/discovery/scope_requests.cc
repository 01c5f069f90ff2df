// Scope request texts and loops: what SetScopes refuses, how AddScopes and RemoveScopes walk
// their ScopeItem elements, and the GetScopes and RemoveScopes answers.
#include "nvtd/discovery/scope_requests.h"

#include "nvtd/discovery/scopes.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/envelope.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

constexpr std::size_t kScopeItemBytes = 64;  // 63 characters
constexpr std::size_t kMinBytesLeft = 30;    // a shorter rest cannot hold another item

}  // namespace

bool names_fixed_scope(std::string_view body) {
  for (std::string_view fixed : {"/Profile/", "/type/video_encoder", "/type/audio_encoder",
                                 "/location/", "/hardware/", "/name/"}) {
    if (body.find(fixed) != std::string_view::npos) return true;
  }
  return false;
}

void for_each_scope_item(std::string_view body, int (*each)(std::string_view scope)) {
  constexpr std::string_view kEndTag = "</ScopeItem>";
  std::string_view rest = body;
  while (rest.size() > kMinBytesLeft) {
    std::optional<std::string> item = element_text(rest, "ScopeItem", kScopeItemBytes);
    if (!item) break;
    each(*item);
    // Only an end tag written without a prefix moves the walk on.
    std::size_t end = rest.find(kEndTag);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + kEndTag.size());
  }
}

std::string get_scopes_envelope(std::string_view model,
                                const std::vector<std::string>& user_scopes) {
  std::string text = kTtTdsEnvelopeOpening;
  text += "<SOAP-ENV:Header></SOAP-ENV:Header><SOAP-ENV:Body><tds:GetScopesResponse>";
  for (const std::string& scope : fixed_scopes(model)) {
    text += "<tds:Scopes><tt:ScopeDef>Fixed</tt:ScopeDef><tt:ScopeItem>" + xml_safe(scope) +
            "</tt:ScopeItem></tds:Scopes>";
  }
  for (const std::string& scope : user_scopes) {
    text += "<tds:Scopes><tt:ScopeDef>Configurable</tt:ScopeDef><tt:ScopeItem>" + xml_safe(scope) +
            "</tt:ScopeItem></tds:Scopes>";
  }
  text += "</tds:GetScopesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  return text;
}

std::string remove_scopes_body(std::string_view model, std::string_view user_scope_items) {
  std::string text = "<SOAP-ENV:Body><tds:RemoveScopesResponse>";
  for (const std::string& scope : fixed_scopes(model)) {
    text += "<tds:ScopeItem>" + xml_safe(scope) + "</tds:ScopeItem>";
  }
  text += user_scope_items;
  text += "</tds:RemoveScopesResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  return text;
}

}  // namespace nvtd
