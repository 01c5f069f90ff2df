// The device seam on a host: a virtual camera. "/dev/iav" delivers statistics reports built
// from the virtual lens and scene; "/dev/i2c-0" reaches the virtual expander at 0x73, which
// moves the lens and filter and logs every write. Pacing waits advance the virtual clock and
// also take real time unless VCAM_PACE=virtual.
#include "imagelib/platform/device.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

#include "imagelib/stats_layout.h"
#include "testbed/vcam/config.h"
#include "testbed/vcam/expander.h"
#include "testbed/vcam/slices.h"
#include "testbed/vcam/store.h"

namespace platform {

namespace {

enum class Kind { kIav, kI2c };
struct VirtualDevice {
  Kind kind;
  bool tenbit = false;
  long slave = -1;
};
// Open virtual devices by descriptor (each holds a descriptor of /dev/null).
std::map<int, VirtualDevice>& devices() {
  static std::map<int, VirtualDevice> table;
  return table;
}

VirtualDevice* find(int fd) {
  auto it = devices().find(fd);
  return it == devices().end() ? nullptr : &it->second;
}

int deliver_statistics(void* argument) {
  if (argument == nullptr) {
    errno = EFAULT;
    return -1;
  }
  const auto* request = static_cast<const imagelib::StatisticsRequest*>(argument);
  auto* cfa = reinterpret_cast<uint8_t*>(request->cfa_area);
  auto* rgb = reinterpret_cast<uint8_t*>(request->rgb_area);
  if (cfa == nullptr || rgb == nullptr) {
    errno = EFAULT;
    return -1;
  }
  const vcam::Optics optics = vcam::load_optics();
  vcam::with_state([&](vcam::State& state) {
    const int luma = vcam::current_luma(state.reads);
    vcam::fill_report(optics, luma, state.focus, state.reads, cfa, rgb);
    state.reads++;
  });
  return 0;
}

int i2c_control(VirtualDevice* device, unsigned long request, void* argument) {
  const auto value = reinterpret_cast<uintptr_t>(argument);
  if (request == I2C_TENBIT) {
    device->tenbit = value != 0;
    return 0;
  }
  if (request == I2C_SLAVE || request == I2C_SLAVE_FORCE) {
    device->slave = static_cast<long>(value);
    return 0;
  }
  errno = ENOTTY;
  return -1;
}

}  // namespace

int device_open(const char* path, int flags) {
  const bool iav = std::strcmp(path, "/dev/iav") == 0;
  const bool i2c = std::strcmp(path, "/dev/i2c-0") == 0;
  if (!iav && !i2c) return ::open(path, flags);
  const vcam::Optics optics = vcam::load_optics();
  if ((iav && optics.iav_absent) || (i2c && optics.i2c_absent)) {
    errno = ENOENT;
    return -1;
  }
  const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (fd >= 0) devices()[fd] = VirtualDevice{iav ? Kind::kIav : Kind::kI2c};
  return fd;
}

int device_close(int fd) {
  devices().erase(fd);
  return ::close(fd);
}

int device_ioctl(int fd, unsigned long request, void* argument) {
  VirtualDevice* device = find(fd);
  if (device == nullptr) {
    errno = fd < 0 ? EBADF : ENOTTY;
    return -1;
  }
  if (device->kind == Kind::kI2c) return i2c_control(device, request, argument);
  if (request == imagelib::kIavIocImgGetStatistics) return deliver_statistics(argument);
  errno = ENOTTY;
  return -1;
}

ssize_t device_write(int fd, const void* data, size_t size) {
  VirtualDevice* device = find(fd);
  if (device == nullptr || device->kind != Kind::kI2c) return ::write(fd, data, size);
  // Nothing answers but the expander at its 7-bit address.
  if (device->tenbit || device->slave != vcam::kExpanderAddress) {
    errno = EREMOTEIO;
    return -1;
  }
  if (size < 2) return static_cast<ssize_t>(size);  // only sets the register pointer
  const auto* bytes = static_cast<const uint8_t*>(data);
  vcam::with_state([&](vcam::State& state) {
    vcam::append_log(vcam::expander_write(state, bytes[0], bytes[1]));
  });
  return static_cast<ssize_t>(size);
}

void device_pause_us(unsigned long microseconds) {
  vcam::with_state([&](vcam::State& state) { state.clock_us += microseconds; });
  const char* pace = std::getenv("VCAM_PACE");
  if (pace != nullptr && std::strcmp(pace, "virtual") == 0) return;
  timespec left = {static_cast<time_t>(microseconds / 1000000),
                   static_cast<long>(microseconds % 1000000) * 1000};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
