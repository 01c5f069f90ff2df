// The Media2 room's operations, in the order their names are searched.
#include "nvtd/media2/media2_operations.h"

namespace nvtd {

OperationSlice media2_operations() {
  return {};
}

}  // namespace nvtd
