// Request dispatch: finds the operation of the current request in the action table,
// checks authentication and calls its handler. Called once per request by the loop.
#pragma once

namespace nvtd {

// What became of a request, for the run modes' exit and connection rules.
enum class DispatchOutcome {
  kHandled,        // authenticated (or NoAuth) and the handler ran
  kOpenOperation,  // one of the open operations ran without authentication
  kAuthFailed,     // the UsernameToken check failed; its fault was sent
  kNoAction,       // no operation found ("no action!")
  kHandedOver,     // the handler kept the connection (held PullMessages); do not close it
};

// connection_fd: the accepted socket in server mode, -1 in the other modes.
DispatchOutcome dispatch_request(int connection_fd);

}  // namespace nvtd
