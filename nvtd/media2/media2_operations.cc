// The Media2 room's operations, in the order their names are searched.
#include "nvtd/media2/media2_operations.h"

#include "nvtd/media2/media2_replies.h"
#include "nvtd/media2/profiles2.h"

namespace nvtd {

// GetServiceCapabilities, GetProfiles, CreateProfile and DeleteProfile join once operations are
// told apart by their namespace; until then Media1's entries of those names answer them.
OperationSlice media2_operations() {
  return {
      {"AddConfiguration", AccessClass::kActuate, CallForm::kBodyPart, handle_add_configuration2},
      {"RemoveConfiguration", AccessClass::kActuate, CallForm::kBodyPart,
       handle_remove_configuration2},
  };
}

}  // namespace nvtd
