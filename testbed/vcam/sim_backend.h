// The virtual camera as the image library's device seam on a host sees it.
#pragma once

#include "imagelib/platform/sim_backend.h"

namespace vcam {

// The one virtual camera of this process (its state lives in VCAM_DIR).
platform::SimBackend& virtual_camera();

}  // namespace vcam
