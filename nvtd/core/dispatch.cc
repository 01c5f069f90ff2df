// Placeholder dispatcher until the action table lands: every request is answered with the
// "Unsupported Command" fault (status 400) and counts as "no action".
#include "nvtd/core/dispatch.h"

#include "nvtd/core/faults.h"

namespace nvtd {

DispatchOutcome dispatch_request(int /*connection_fd*/) {
  send_catalogue_fault(Fault::kUnsupportedCommand);
  return DispatchOutcome::kNoAction;
}

}  // namespace nvtd
