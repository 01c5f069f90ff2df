// Device-service user operations: GetUsers, CreateUsers, DeleteUsers and SetUser over the
// in-memory user table.
#pragma once

#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// GetUsers (plain): the fixed "admin" and "guest" entries, then the table.
int handle_get_users(const Request& request, Reply& reply);
// CreateUsers, DeleteUsers, SetUser read the body from its "Body" on.
int handle_create_users(const Request& request, Reply& reply);
int handle_delete_users(const Request& request, Reply& reply);
int handle_set_user(const Request& request, Reply& reply);

}  // namespace nvtd
