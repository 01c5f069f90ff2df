// The device-service scope operations: GetScopes, SetScopes, AddScopes and RemoveScopes.
#pragma once

namespace nvtd {

// Plain form: reads RequestBody; answers nothing when it holds no "Body" text.
int handle_get_scopes();
// Body-part form: text points at the request's "Body", length bytes from there to the end.
int handle_set_scopes(const char* text, int length);
int handle_add_scopes(const char* text, int length);
int handle_remove_scopes(const char* text, int length);

}  // namespace nvtd
