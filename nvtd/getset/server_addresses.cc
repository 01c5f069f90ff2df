// Reads the settings servers' address files and keeps the process-wide setup.

#include "nvtd/getset/server_addresses.h"

#include <fcntl.h>

#include "common/unique_fd.h"

namespace nvtd {
namespace {

SettingsSetup& mutable_setup() {
  static SettingsSetup setup;
  return setup;
}

constexpr size_t kAddressFileBytes = 32;
// The address field holds 32 characters with its terminator.
constexpr size_t kAddressFieldChars = 31;

}  // namespace

const SettingsSetup& settings_setup() {
  return mutable_setup();
}

void set_settings_setup(const SettingsSetup& setup) {
  mutable_setup() = setup;
}

std::string read_server_address(const std::string& path) {
  const std::string fallback = "127.0.0.1";
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return fallback;
  char bytes[kAddressFileBytes];
  ssize_t n = ::read(fd.get(), bytes, sizeof bytes);
  if (n <= 0) return fallback;
  std::string address;
  for (ssize_t i = 0; i < n; ++i) {
    char c = bytes[i];
    if (!((c >= '0' && c <= '9') || c == '.')) break;
    address.push_back(c);
  }
  return address.substr(0, kAddressFieldChars);
}

ServerAddresses read_server_addresses(const SettingsSetup& setup) {
  return {read_server_address(setup.encoder_file), read_server_address(setup.mainboard_file)};
}

}  // namespace nvtd
