// The device-service scope operations: GetScopes, SetScopes, AddScopes and RemoveScopes.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// Reads the whole body; answers nothing when it holds no "Body" text.
HandlerOutcome handle_get_scopes(const Request& request, Reply& reply);
// Body-part form: read the body from its "Body" on.
HandlerOutcome handle_set_scopes(const Request& request, Reply& reply);
HandlerOutcome handle_add_scopes(const Request& request, Reply& reply);
HandlerOutcome handle_remove_scopes(const Request& request, Reply& reply);

}  // namespace nvtd
