// The discovery room's operations, in the order their names are searched.
#include "nvtd/discovery/discovery_operations.h"

#include "nvtd/discovery/scope_handlers.h"

namespace nvtd {

OperationSlice discovery_operations() {
  return {
      {"GetScopes", AccessClass::kReadSystem, CallForm::kRequest, handle_get_scopes},
      {"SetScopes", AccessClass::kWriteSystem, CallForm::kBodyPart, handle_set_scopes},
      {"AddScopes", AccessClass::kWriteSystem, CallForm::kBodyPart, handle_add_scopes},
      {"RemoveScopes", AccessClass::kWriteSystem, CallForm::kBodyPart, handle_remove_scopes},
  };
}

}  // namespace nvtd
