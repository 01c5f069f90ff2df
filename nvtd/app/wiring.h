// The program layer: the only code that knows every room. It assembles the operation table
// from the rooms' slices and the start-up and shutdown calls into them.
#pragma once

#include "nvtd/app/service.h"
#include "nvtd/core/operation_table.h"

namespace nvtd {

// Device, media, events, discovery and imaging operations in one table, in search order.
OperationTable make_operation_table();

// The table and the calls run_nvtd makes into the rooms. The wiring owns what the rooms share
// for the process's life (the event service, made by reset_tables); it goes with the wiring.
ServiceWiring make_service_wiring();

}  // namespace nvtd
