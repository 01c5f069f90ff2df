// The operations of the device service: information, capabilities, services, date and time, network
// configuration, relay outputs, users and device control: this room's slice of the operation table.
#pragma once

#include "nvtd/core/operation.h"

namespace nvtd {

OperationSlice device_operations();

}  // namespace nvtd
