// What the run modes hand each complete request to: the dispatcher behind a function, so that
// the loops that read requests from sockets and FIFOs need not know the rooms that answer them.
#pragma once

#include <functional>

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

using Dispatcher = std::function<DispatchOutcome(const Request& request, Reply& reply)>;

}  // namespace nvtd
