// The device seam: the only way the programs reach the video driver ("/dev/iav"), the I2C
// bus ("/dev/i2c-0") and the pacing clock of motor and filter. The build links either the
// camera's implementation (platform/camera) or the virtual camera (platform/sim).
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace platform {

// Opens a device by its camera path; returns a descriptor, or -1 with errno set.
int device_open(const char* path, int flags);
// Closes a descriptor of device_open.
int device_close(int fd);
// Driver control (ioctl) on a device: negative on failure with errno set.
int device_ioctl(int fd, unsigned long request, void* argument);
// Writes bytes to a device (on the I2C bus: one register write per call).
ssize_t device_write(int fd, const void* data, size_t size);
// Waits the given number of microseconds: step pacing of the motor, the filter pulse.
void device_pause_us(unsigned long microseconds);

// Owns a descriptor of device_open and closes it.
class DeviceFd {
 public:
  explicit DeviceFd(int fd = -1) : fd_(fd) {}
  ~DeviceFd() {
    if (fd_ >= 0) device_close(fd_);
  }
  DeviceFd(const DeviceFd&) = delete;
  DeviceFd& operator=(const DeviceFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace platform
