// The sim device seam: no device until a virtual camera is registered, then that camera's.
#include "imagelib/platform/device.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "imagelib/platform/sim_backend.h"

namespace platform {
namespace {

class OneExpander final : public SimBackend {
 public:
  bool has_iav() override { return true; }
  bool has_i2c() override { return true; }
  void next_statistics(uint8_t*, uint8_t*) override {}
  bool i2c_answers(long address) override { return address == 0x20; }
  void i2c_write(long, uint8_t reg, uint8_t value) override { last = reg << 8 | value; }
  bool pace(unsigned long) override { return false; }
  int last = -1;
};

TEST(SimSeam, NoDeviceUntilACameraIsRegistered) {
  for (const char* path : {"/dev/iav", "/dev/i2c-0"}) {
    errno = 0;
    EXPECT_EQ(device_open(path, O_RDWR), -1) << path;
    EXPECT_EQ(errno, ENOENT) << path;
  }
  static OneExpander camera;
  register_sim_backend(camera);
  const int bus = device_open("/dev/i2c-0", O_RDWR);
  ASSERT_GE(bus, 0);
  const uint8_t bytes[2] = {3, 0xC0};
  for (long address : {0x21L, 0x20L}) {
    ASSERT_EQ(device_ioctl(bus, 0x0703 /* I2C_SLAVE */, reinterpret_cast<void*>(address)), 0);
    EXPECT_EQ(device_write(bus, bytes, 2), address == 0x20 ? 2 : -1) << address;
  }
  EXPECT_EQ(camera.last, 3 << 8 | 0xC0);
  EXPECT_EQ(device_close(bus), 0);
}

}  // namespace
}  // namespace platform
