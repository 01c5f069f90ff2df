// The operations of the media service: profiles, video, audio and metadata configurations, stream
// and snapshot URIs: this room's slice of the operation table.
#pragma once

#include "nvtd/core/operation.h"

namespace nvtd {

OperationSlice media_operations();

}  // namespace nvtd
