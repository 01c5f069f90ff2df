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
std::string cached_model() {
  char model[24] = "";
  if (const SettingsClient* info = section(SectionId::kInfo)) {
    info->GetValue("model", model, sizeof model);
  }
  return model;
}

}  // namespace

HandlerOutcome handle_get_scopes(const Request& request, Reply& reply) {
  if (request.body.find("Body") == std::string::npos) return HandlerOutcome::kAnswered;
  send_envelope(reply, "%s", get_scopes_envelope(cached_model(), user_scope_list()).c_str());
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_set_scopes(const Request& request, Reply& reply) {
  std::string_view body = request.body_part();
  if (names_fixed_scope(body)) {
    send_catalogue_fault(reply, Fault::kScopeOverwrite);
    return HandlerOutcome::kAnswered;
  }
  if (std::optional<std::string> scope = element_text(body, "Scopes", kScopesBytes)) {
    scope_set(*scope);
  }
  send_body(reply,
            "<SOAP-ENV:Body><tds:SetScopesResponse></tds:SetScopesResponse>"
            "</SOAP-ENV:Body></SOAP-ENV:Envelope>");
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_add_scopes(const Request& request, Reply& reply) {
  for_each_scope_item(request.body_part(), scope_add);
  send_body(reply,
            "<SOAP-ENV:Body><tds:AddScopesResponse></tds:AddScopesResponse>"
            "</SOAP-ENV:Body></SOAP-ENV:Envelope>");
  request_hello();
  return HandlerOutcome::kAnswered;
}

HandlerOutcome handle_remove_scopes(const Request& request, Reply& reply) {
  for_each_scope_item(request.body_part(), scope_remove);
  send_body(reply, "%s", remove_scopes_body(cached_model(), announced_scope_items()).c_str());
  request_hello();
  return HandlerOutcome::kAnswered;
}

}  // namespace nvtd
