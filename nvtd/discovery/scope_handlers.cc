// Scope operations: answers from the camera's scope set (fixed and user scopes), the
// ScopeOverwrite refusal, and a Hello after every AddScopes and RemoveScopes.
#include "nvtd/discovery/scope_handlers.h"

#include <string>
#include <string_view>

#include "nvtd/discovery/discovery_thread.h"
#include "nvtd/discovery/scope_requests.h"
#include "nvtd/discovery/scopes.h"
#include "nvtd/getset/section_cache.h"
#include "nvtd/soap/element_reader.h"
#include "nvtd/soap/faults.h"
#include "nvtd/soap/writers.h"

namespace nvtd {
namespace {

constexpr std::size_t kScopesBytes = 64;  // SetScopes keeps 63 characters

// The INFO "model" of the request's section cache, at most 23 characters.
std::string CachedModel() {
  char model[24] = "";
  if (const SettingsClient* info = section(SectionId::kInfo)) {
    info->GetValue("model", model, sizeof model);
  }
  return model;
}

}  // namespace

HandlerOutcome handle_get_scopes(const Request& request, Reply& reply) {
  if (request.body.find("Body") == std::string::npos) return HandlerOutcome::kAnswered;
  send_envelope(reply, "%s", GetScopesEnvelope(CachedModel(), UserScopeList()).c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_scopes(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  if (NamesFixedScope(body)) {
    send_catalogue_fault(reply, Fault::kScopeOverwrite);
    return HandlerOutcome::kAnswered;
  }
  if (std::optional<std::string> scope = element_text(body, "Scopes", kScopesBytes)) {
    ScopeSet(*scope);
  }
  send_body(reply,
            "<SOAP-ENV:Body><tds:SetScopesResponse></tds:SetScopesResponse>"
            "</SOAP-ENV:Body></SOAP-ENV:Envelope>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_add_scopes(const Request& request, Reply& reply) {
  ForEachScopeItem(request.body_part(), ScopeAdd);
  send_body(reply,
            "<SOAP-ENV:Body><tds:AddScopesResponse></tds:AddScopesResponse>"
            "</SOAP-ENV:Body></SOAP-ENV:Envelope>");
  RequestHello();
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_remove_scopes(const Request& request, Reply& reply) {
  ForEachScopeItem(request.body_part(), ScopeRemove);
  send_body(reply, "%s", RemoveScopesBody(CachedModel(), ScopeItemString()).c_str());
  RequestHello();
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
