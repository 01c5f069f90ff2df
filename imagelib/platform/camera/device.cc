// The device seam on the camera: the real devices through the C library.
#include "imagelib/platform/device.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

int device_open(const char* path, int flags) {
  return ::open(path, flags);
}

int device_close(int fd) {
  return ::close(fd);
}

int device_ioctl(int fd, unsigned long request, void* argument) {
  return ::ioctl(fd, request, argument);
}

ssize_t device_write(int fd, const void* data, size_t size) {
  return ::write(fd, data, size);
}

void device_pause_us(unsigned long microseconds) {
  timespec left = {static_cast<time_t>(microseconds / 1000000),
                   static_cast<long>(microseconds % 1000000) * 1000};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
