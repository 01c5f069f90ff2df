// The authentication step of dispatch, for every operation that is not open: the request's
// HTTP Digest credentials (the Authorization header) and its WS-Security UsernameToken, as
// ONVIF Core has a device that supports both treat them:
// - neither: 401 with the Digest challenges (a client that knows only Digest learns them so);
// - Digest alone: checked, 401 when wrong (stale=true when only the nonce is old);
// - a Security header alone: the UsernameToken check with its answers, as before;
// - both: the Digest first, then the UsernameToken; the request passes only if both hold.
// Each account that passed must have a level that may call the operation; then the Digest
// (nonce, nc) and the token are remembered, and each refused when seen before.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// Whether the request may be served; when not, the answer has been written. operation is
// null for an operation nvtd does not know (it still needs credentials).
bool authenticate_request(const Request& request, const Operation* operation, Reply& reply);

}  // namespace nvtd
