// Test helper: the configuration one test runs with, the previous one put back afterwards.
#pragma once

#include "nvtd/core/process_state.h"

namespace nvtd {

class ScopedConfig {
 public:
  ScopedConfig() : saved_(config()) {}
  ~ScopedConfig() { set_config(saved_); }
  ScopedConfig(const ScopedConfig&) = delete;
  ScopedConfig& operator=(const ScopedConfig&) = delete;

  // Changes one value of the configuration in force: set(&Config::server, true).
  template <typename T>
  void set(T Config::*field, T value) {
    Config changed = config();
    changed.*field = value;
    set_config(changed);
  }

 private:
  Config saved_;
};

}  // namespace nvtd
