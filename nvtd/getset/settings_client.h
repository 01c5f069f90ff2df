// SettingsClient: gets and sets one section of the camera's configuration through the
// settings server (one TCP connection per exchange), builds the NETWORK section from the
// live IP configuration, and offers typed lookups in the section text it got.
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <string>

#include "common/unique_fd.h"
#include "nvtd/getset/network_section.h"
#include "nvtd/getset/server_addresses.h"
#include "nvtd/getset/settings_replicator.h"

namespace nvtd {

// The port of a served section ("20000", "20002", "20004" or "20006"), or nullptr for a
// name that has none (including NETWORK, which is built locally).
const char* SectionPort(const std::string& section);

// Connects with the 5-second limit: 0 connected, -1 otherwise.
int ConnectWithTimeout(int fd, const sockaddr* address, socklen_t length);

class SettingsClient {
 public:
  // Reads the server addresses from the setup's address files.
  SettingsClient();
  explicit SettingsClient(const SettingsSetup& setup);
  // With the addresses already read (by a caller that makes several clients at once).
  SettingsClient(const SettingsSetup& setup, ServerAddresses addresses);

  SettingsClient(const SettingsClient&) = delete;
  SettingsClient& operator=(const SettingsClient&) = delete;

  // 0; -1 no port; -2 resolver error; -3 no connection; -4 short request write;
  // -5 reply header read error; -6 section text read error (or text beyond kMaxTextBytes).
  // A non-zero status gives 0 and an empty text. host replaces the encoder address.
  int GetSection(const std::string& section, const char* host = nullptr);
  // GetSection in two halves, so that several gets can wait for their replies together:
  // SendGet connects and sends the request (NETWORK is built at once, leaving nothing to
  // receive), ReceiveGet reads the reply and gives GetSection's result.
  struct PendingGet {
    UniqueFd connection;
    long long deadline = -1;
    int result = 0;
    std::string server;  // address and port of the exchange, for the hung-server memory
    const char* port = nullptr;
  };
  PendingGet SendGet(const std::string& section, const char* host = nullptr);
  int ReceiveGet(const std::string& section, PendingGet pending);
  // 0, or -1 (no port, resolver, write, read, non-zero status, failed repetition);
  // -2 no connection. flag true: command 101, false: 103. With a host, no repetition.
  int SetSection(const std::string& section, const std::string& records, bool flag,
                 const char* host = nullptr);

  // The value of key, at most capacity - 1 characters; -1 (out untouched) when missing.
  int GetValue(const char* key, char* out, size_t capacity) const;
  int GetValue(const std::string& key, std::string* out, size_t capacity) const;
  // The value as a base-10 number; -1 when the key is missing.
  int GetIntValue(const char* key) const;

  // One "key = 12" or "key = \"text\"" record. A record that does not fit its buffer
  // (50 and 200 bytes), or a key or string that cannot be written as one record (blank,
  // quote or line break), is refused with -1 rather than sent cut or split.
  int SetIntValue(const std::string& section, const std::string& key, int value, bool flag,
                  const char* host = nullptr);
  int SetStringValue(const std::string& section, const std::string& key, const std::string& value,
                     bool flag, const char* host = nullptr);

  // The text of the last section got (records, newline-terminated).
  const std::string& text() const { return text_; }
  const std::string& encoder_address() const { return encoder_address_; }
  const std::string& mainboard_address() const { return mainboard_address_; }

  // A section text beyond this is refused instead of being cut into wrong values
  // (the camera's sections are well under 2000 bytes).
  static constexpr size_t kMaxTextBytes = 64 * 1024;

 private:
  std::string ServerFor(const std::string& section, const char* host) const;
  int Connect(const std::string& address, const char* port, bool is_get, int* fd_out) const;
  int FinishGet(const std::string& section, PendingGet& pending);
  // One set exchange with address:port (SetSection's codes); *broken false once the server
  // gave its final status.
  int ExchangeSet(const std::string& address, const char* port, const std::string& section,
                  const std::string& records, bool flag, bool* broken);

  SettingsSetup setup_;
  SettingsReplicator replicator_;
  std::string text_;
  std::string encoder_address_;
  std::string mainboard_address_;
  NetworkValues current_;
  NetworkValues desired_;
};

}  // namespace nvtd
