// Request dispatch: finds the request's operation in the operation table, checks
// authentication and calls its handler. Called once per request by the run mode.
#pragma once

#include "nvtd/core/operation_table.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// What became of a request, for the run modes' exit and connection rules.
enum class DispatchOutcome {
  kHandled,        // authenticated (or NoAuth) and the handler ran
  kOpenOperation,  // one of the open operations ran without authentication
  kAuthFailed,     // the UsernameToken check failed; its fault was sent
  kNoAction,       // no operation found ("no action!")
  kHandedOver,     // the handler kept the connection (held PullMessages); do not close it
};

DispatchOutcome dispatch_request(const OperationTable& table, const Request& request, Reply& reply);

}  // namespace nvtd
