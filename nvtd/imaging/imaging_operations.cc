// The imaging room's operations. "Move" and "Stop" are short common words: they match only as
// whole words, after every other name.
#include "nvtd/imaging/imaging_operations.h"

#include "nvtd/imaging/imaging_handlers.h"

namespace nvtd {

OperationSlice imaging_operations() {
  return {
      {"GetImagingSettings", AccessClass::kReadMedia, CallForm::kRequest,
       handle_get_imaging_settings},
      {"SetImagingSettings", AccessClass::kActuate, CallForm::kRequest,
       handle_set_imaging_settings},
      {"GetMoveOptions", AccessClass::kReadMedia, CallForm::kRequest, handle_get_move_options},
      {"GetOptions", AccessClass::kReadMedia, CallForm::kRequest, handle_get_imaging_options},
      {"GetStatus", AccessClass::kReadMedia, CallForm::kRequest, handle_get_imaging_status},
      {"Move", AccessClass::kActuate, CallForm::kRequest, handle_focus_move, NameMatch::kWholeWord},
      {"Stop", AccessClass::kActuate, CallForm::kRequest, handle_focus_stop, NameMatch::kWholeWord},
  };
}

}  // namespace nvtd
