// The expander's bus set-up and register writes, through the device seam.
#include "lensctl/expander.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>

#include <cstdint>
#include <cstdio>

#include "imagelib/platform/device.h"

namespace lensctl {

Expander::~Expander() {
  if (fd_ >= 0) platform::device_close(fd_);
}

void Expander::open() {
  fd_ = platform::device_open("/dev/i2c-0", O_RDWR);
  if (fd_ < 0) perror("open");
  if (platform::device_ioctl(fd_, I2C_TENBIT, reinterpret_cast<void*>(uintptr_t{0})) < 0) {
    perror("Error: Unable to set 7-bit address mode\n");
  }
  if (platform::device_ioctl(fd_, I2C_SLAVE, reinterpret_cast<void*>(uintptr_t{kExpanderAddress})) <
      0) {
    perror("Error: Unable to set slave address!\n");
  }
  write_register(kConfigRegister, kConfigValue);
}

int Expander::write_register(uint8_t reg, uint8_t value) {
  const uint8_t bytes[2] = {reg, value};
  if (platform::device_write(fd_, bytes, sizeof bytes) < 2) {
    perror("Error: Unable to write i2c!\n");
    return -1;
  }
  return 0;
}

}  // namespace lensctl
