// The operations of the device service's scope operations: this room's slice of the operation
// table.
#pragma once

#include "nvtd/core/operation.h"

namespace nvtd {

OperationSlice discovery_operations();

}  // namespace nvtd
