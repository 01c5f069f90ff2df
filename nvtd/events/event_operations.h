// The operations of the event service: subscriptions, pull points, renewal and event properties:
// this room's slice of the operation table.
#pragma once

#include "nvtd/core/operation.h"

namespace nvtd {

OperationSlice event_operations();

}  // namespace nvtd
