// The virtual camera behind the device seam on a host: answers the seam's requests
// (imagelib/platform/sim_backend.h) from the state, optics and scene in its folder. The lens
// board's expander is the one device on the I2C bus; every write to it is logged.
#include "testbed/vcam/sim_backend.h"

#include <cstdlib>
#include <cstring>

#include "testbed/vcam/config.h"
#include "testbed/vcam/expander.h"
#include "testbed/vcam/slices.h"
#include "testbed/vcam/store.h"

namespace vcam {
namespace {

class VirtualCamera final : public platform::SimBackend {
 public:
  bool has_iav() override { return !load_optics().iav_absent; }
  bool has_i2c() override { return !load_optics().i2c_absent; }

  void next_statistics(uint8_t* cfa_area, uint8_t* rgb_area) override {
    const Optics optics = load_optics();
    with_state([&](State& state) {
      const SceneNow scene = current_scene(state.reads);
      fill_report(optics, scene, state.filter, state.focus, state.reads, cfa_area, rgb_area);
      state.reads++;
    });
  }

  bool i2c_answers(long address) override { return address == kExpanderAddress; }

  void i2c_write(long address, uint8_t reg, uint8_t value) override {
    if (address != kExpanderAddress) return;
    with_state([&](State& state) { append_log(expander_write(state, reg, value)); });
  }

  // Pacing takes real time too unless VCAM_PACE=virtual.
  bool pace(unsigned long microseconds) override {
    with_state([&](State& state) { state.clock_us += microseconds; });
    const char* pace = std::getenv("VCAM_PACE");
    return pace == nullptr || std::strcmp(pace, "virtual") != 0;
  }
};

}  // namespace

platform::SimBackend& virtual_camera() {
  static VirtualCamera camera;
  return camera;
}

}  // namespace vcam
