// Registers the virtual camera behind the image library's device seam as the program starts.
// Linked as an object (never dropped from an archive) into every program and test that runs
// on the sim seam: the programs' sim variants (camera_sim_variant) and the tests that drive
// the virtual camera in process.
#include "imagelib/platform/sim_backend.h"
#include "testbed/vcam/sim_backend.h"

namespace vcam {
namespace {

const bool registered = [] {
  platform::register_sim_backend(virtual_camera());
  return true;
}();

}  // namespace
}  // namespace vcam
