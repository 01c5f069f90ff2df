// What the device seam on a host (platform/sim) asks of the virtual camera behind it. The
// seam keeps the descriptors and the driver's request records; the virtual camera answers
// for lens, filter, scene and clock. The virtual camera registers itself when a program
// starts (testbed/vcam's registrar, linked into the programs and tests that run on it); until
// one is registered the seam has neither device.
#pragma once

#include <cstdint>

namespace platform {

class SimBackend {
 public:
  virtual ~SimBackend() = default;
  // Whether the virtual camera has "/dev/iav" and "/dev/i2c-0" (its set-up can leave either out).
  virtual bool has_iav() = 0;
  virtual bool has_i2c() = 0;
  // Writes the next statistics report into the driver's areas (imagelib/stats_layout.h:
  // kCfaAreaSize and kRgbAreaSize bytes).
  virtual void next_statistics(uint8_t* cfa_area, uint8_t* rgb_area) = 0;
  // Whether a device answers at a 7-bit I2C address.
  virtual bool i2c_answers(long address) = 0;
  // One register write to the device at an address that answers.
  virtual void i2c_write(long address, uint8_t reg, uint8_t value) = 0;
  // Advances the virtual clock by a pacing wait; true when the wait also takes real time.
  virtual bool pace(unsigned long microseconds) = 0;
};

// Puts backend behind the seam (it must outlive every use); a later one replaces it.
void register_sim_backend(SimBackend& backend);

}  // namespace platform
