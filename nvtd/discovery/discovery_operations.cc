// The discovery room's operations, in the order their names are searched.
#include "nvtd/discovery/discovery_operations.h"

#include "nvtd/discovery/scope_handlers.h"

namespace nvtd {

OperationSlice discovery_operations() {
  return {
      {"GetScopes", Service::kDevice, AccessClass::kReadSystem, CallForm::kRequest,
       handle_get_scopes},
      {"SetScopes", Service::kDevice, AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_set_scopes},
      {"AddScopes", Service::kDevice, AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_add_scopes},
      {"RemoveScopes", Service::kDevice, AccessClass::kWriteSystem, CallForm::kBodyPart,
       handle_remove_scopes},
  };
}

}  // namespace nvtd
