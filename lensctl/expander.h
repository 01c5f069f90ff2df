// The lens board's I/O expander on the I2C bus ("/dev/i2c-0", 7-bit address 0x73): opened and
// configured once per run, then written one register at a time.
#pragma once

#include <cstdint>

namespace lensctl {

constexpr int kExpanderAddress = 0x73;
constexpr int kConfigRegister = 3;
constexpr int kConfigValue = 0xC0;
constexpr int kOutputRegister = 1;
constexpr uint8_t kIdle = 0xFF;

class Expander {
 public:
  Expander() = default;
  ~Expander();
  Expander(const Expander&) = delete;
  Expander& operator=(const Expander&) = delete;

  // Opens the bus, selects 7-bit addressing and the expander, writes register 3 <- 0xC0.
  // Failures are reported; the run goes on and later writes fail.
  void open();
  // One register write; 0, or -1 (reported) when the bus takes fewer than two bytes.
  int write_register(uint8_t reg, uint8_t value);

 private:
  int fd_ = -1;
};

}  // namespace lensctl
