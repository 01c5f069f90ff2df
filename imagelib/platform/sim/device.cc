// The device seam on a host: the registered virtual camera (platform/sim_backend.h). "/dev/iav"
// delivers the statistics reports it builds; "/dev/i2c-0" reaches the devices that answer on its
// bus. Pacing waits advance its clock and take real time when it says so.
#include "imagelib/platform/device.h"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "imagelib/platform/sim_backend.h"
#include "imagelib/stats_layout.h"

namespace platform {

namespace {

// What the seam has while no virtual camera is registered: no device, nothing on the bus.
class NoCamera final : public SimBackend {
 public:
  bool has_iav() override { return false; }
  bool has_i2c() override { return false; }
  void next_statistics(uint8_t*, uint8_t*) override {}
  bool i2c_answers(long) override { return false; }
  void i2c_write(long, uint8_t, uint8_t) override {}
  bool pace(unsigned long) override { return true; }
};

SimBackend*& registered() {
  static NoCamera none;
  static SimBackend* backend = &none;
  return backend;
}

SimBackend& sim_backend() {
  return *registered();
}

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
  sim_backend().next_statistics(cfa, rgb);
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

void register_sim_backend(SimBackend& backend) {
  registered() = &backend;
}

int device_open(const char* path, int flags) {
  const bool iav = std::strcmp(path, "/dev/iav") == 0;
  const bool i2c = std::strcmp(path, "/dev/i2c-0") == 0;
  if (!iav && !i2c) return ::open(path, flags);
  SimBackend& backend = sim_backend();
  if ((iav && !backend.has_iav()) || (i2c && !backend.has_i2c())) {
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
  // Nothing answers a ten-bit address; at a 7-bit one, what the virtual camera has.
  if (device->tenbit || !sim_backend().i2c_answers(device->slave)) {
    errno = EREMOTEIO;
    return -1;
  }
  if (size < 2) return static_cast<ssize_t>(size);  // only sets the register pointer
  const auto* bytes = static_cast<const uint8_t*>(data);
  sim_backend().i2c_write(device->slave, bytes[0], bytes[1]);
  return static_cast<ssize_t>(size);
}

void device_pause_us(unsigned long microseconds) {
  if (!sim_backend().pace(microseconds)) return;
  timespec left = {static_cast<time_t>(microseconds / 1000000),
                   static_cast<long>(microseconds % 1000000) * 1000};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace platform
