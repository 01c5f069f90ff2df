// Where the settings servers are: the encoder and mainboard addresses read from their
// address files, and the three peer boards that image and stream settings are repeated to.
#pragma once

#include <array>
#include <string>

namespace nvtd {

// Everything a SettingsClient needs to know about its surroundings. The camera's values
// are the defaults; tests point the files elsewhere and the peer boards at loopback.
struct SettingsSetup {
  std::string encoder_file = "/etc/encoderip.conf";
  std::string mainboard_file = "/etc/mainboardip.conf";
  std::array<std::string, 3> peer_boards = {"1.1.1.2", "2.2.2.3", "3.3.3.4"};
  int connect_timeout_s = 5;
  // Bound on waiting for a reply, so that a hung server cannot stop the service for good.
  int reply_timeout_s = 30;
};

// The process-wide setup every default-constructed client uses (the camera's values
// unless a test tool replaced it).
const SettingsSetup& settings_setup();
void set_settings_setup(const SettingsSetup& setup);

// The encoder and mainboard addresses, as a client's constructor reads them.
struct ServerAddresses {
  std::string encoder;
  std::string mainboard;
};
ServerAddresses read_server_addresses(const SettingsSetup& setup);

// The leading run of digits and dots of an address file (at most 32 bytes read);
// "127.0.0.1" when the file cannot be opened or is empty.
std::string read_server_address(const std::string& path);

}  // namespace nvtd
