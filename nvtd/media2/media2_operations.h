// The operations of the Media2 (ver20 media) service: profiles, configurations and their
// options, encoder instances, stream and snapshot URIs and OSDs, over the media room's
// profile store and settings: this room's slice of the operation table.
#pragma once

#include "nvtd/core/operation.h"

namespace nvtd {

OperationSlice media2_operations();
// The Media2 operations whose names the media room's operations have too. Found by name
// alone they would take Media1's requests, so they join the table once operations are found
// by their service.
OperationSlice media2_operations_named_as_media1();

}  // namespace nvtd
