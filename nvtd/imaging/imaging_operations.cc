// The imaging room's operations. "Move" and "Stop" are short common words: they match only as
// whole words, after every other name.
#include "nvtd/imaging/imaging_operations.h"

#include "nvtd/imaging/imaging_handlers.h"

namespace nvtd {

OperationSlice imaging_operations() {
  return {
      {"GetImagingSettings", Service::kImaging, AccessClass::kReadMedia, CallForm::kRequest,
       handle_get_imaging_settings},
      {"SetImagingSettings", Service::kImaging, AccessClass::kActuate, CallForm::kRequest,
       handle_set_imaging_settings},
      {"GetMoveOptions", Service::kImaging, AccessClass::kReadMedia, CallForm::kRequest,
       handle_get_move_options},
      {"GetOptions", Service::kImaging, AccessClass::kReadMedia, CallForm::kRequest,
       handle_get_imaging_options},
      {"GetStatus", Service::kImaging, AccessClass::kReadMedia, CallForm::kRequest,
       handle_get_imaging_status},
      {"Move", Service::kImaging, AccessClass::kActuate, CallForm::kRequest, handle_focus_move,
       NameMatch::kWholeWord},
      {"Stop", Service::kImaging, AccessClass::kActuate, CallForm::kRequest, handle_focus_stop,
       NameMatch::kWholeWord},
  };
}

}  // namespace nvtd
