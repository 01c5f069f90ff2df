// The operations of the Media2 (ver20 media) service: profiles, configurations and their
// options, encoder instances, stream and snapshot URIs and OSDs, over the media room's
// profile store and settings: this room's slice of the operation table.
#pragma once

#include "nvtd/core/operation.h"

namespace nvtd {

OperationSlice media2_operations();

}  // namespace nvtd
