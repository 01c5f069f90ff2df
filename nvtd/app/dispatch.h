// Request dispatch: finds the request's operation in the operation table, checks
// authentication and calls its handler. Called once per request by the run mode.
#pragma once

#include "nvtd/core/dispatcher.h"
#include "nvtd/core/operation_table.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

DispatchOutcome dispatch_request(const OperationTable& table, const Request& request, Reply& reply);

}  // namespace nvtd
