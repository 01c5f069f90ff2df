// The request side of the scope operations, apart from the writers: the fixed-scope
// refusal test, the ScopeItem loops of AddScopes and RemoveScopes, and the response texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nvtd {

// True when a SetScopes body names one of the fixed scopes (it is then refused).
bool names_fixed_scope(std::string_view body);

// Calls each(scope) for every ScopeItem value (at most 63 characters) found by walking the
// body from element to "</ScopeItem>" text while more than 30 bytes are left.
void for_each_scope_item(std::string_view body, int (*each)(std::string_view scope));

// The complete GetScopes envelope: the six fixed scopes with the given model (ScopeDef
// Fixed), then user_scopes (user_scope_list(); ScopeDef Configurable), each escaped.
std::string get_scopes_envelope(std::string_view model,
                                const std::vector<std::string>& user_scopes);
// The RemoveScopes body: the six fixed scopes, then user_scope_items (announced_scope_items()).
std::string remove_scopes_body(std::string_view model, std::string_view user_scope_items);

}  // namespace nvtd
