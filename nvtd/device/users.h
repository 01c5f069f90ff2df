// Device-service user operations: GetUsers, CreateUsers, DeleteUsers and SetUser over the
// accounts of the users file, the accounts authentication checks against.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// GetUsers (plain): every account of the users file with its UserLevel, never a password.
HandlerOutcome handle_get_users(const Request& request, Reply& reply);
// CreateUsers, DeleteUsers, SetUser read the body from its "Body" on; each changes every
// account it names or, with a fault, none.
HandlerOutcome handle_create_users(const Request& request, Reply& reply);
HandlerOutcome handle_delete_users(const Request& request, Reply& reply);
HandlerOutcome handle_set_user(const Request& request, Reply& reply);

}  // namespace nvtd
