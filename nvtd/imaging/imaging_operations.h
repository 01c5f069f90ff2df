// The operations of the imaging service (IR-cut filter mode and focus): this room's slice of
// the operation table.
#pragma once

#include "nvtd/core/operation.h"

namespace nvtd {

OperationSlice imaging_operations();

}  // namespace nvtd
