// The one seam between the IP configuration operations and the system: the shell
// commands that change it, interface requests to the kernel, sleeping, the temporary file
// of an interfaces rewrite and the files read directly (at paths tests may replace). Tests
// install a recorder that returns scripted results instead.
#pragma once

#include <net/if.h>

#include <cstddef>
#include <string>

namespace nvtd {

class NetSystem {
 public:
  virtual ~NetSystem() = default;
  // Runs command through the shell; the status as system() reports it (0 is success).
  virtual int Run(const std::string& command);
  // At most max_bytes of the file at path; false when it cannot be opened.
  virtual bool ReadFile(const std::string& path, size_t max_bytes, std::string* text);
  // A new empty file, mode 0644, made exclusively from pattern (ending in "XXXXXX", replaced
  // by unpredictable characters); 0, or -1 with path cleared.
  virtual int CreateTempFile(const std::string& pattern, std::string* path);
  virtual void RemoveFile(const std::string& path);
  // One interface request on a fresh IPv4 datagram socket: 0, kSocketFailed or
  // kRequestFailed (errno set for the message).
  virtual int InterfaceRequest(unsigned long request, ifreq* req);
  virtual void Sleep(int seconds);
  // A trace line for standard output ("running ...", "killing dhcp client"), written
  // only when traces are on: in CGI mode standard output is the response itself.
  virtual void Trace(const std::string& line);

  static constexpr int kSocketFailed = 1;
  static constexpr int kRequestFailed = 2;

  std::string hostname_file = "/etc/hostname";
  std::string resolv_file = "/etc/resolv.conf";
  std::string interfaces_file = "/etc/network/interfaces";
  std::string route_file = "/proc/net/route";
};

// Traces are off until the service turns them on (its server and persistent modes).
void set_net_traces(bool on);

// The process-wide seam (the real system unless a test installed another).
NetSystem& net_system();

// Installs system for the lifetime of this object (tests only).
class ScopedNetSystem {
 public:
  explicit ScopedNetSystem(NetSystem* system);
  ~ScopedNetSystem();
  ScopedNetSystem(const ScopedNetSystem&) = delete;
  ScopedNetSystem& operator=(const ScopedNetSystem&) = delete;

 private:
  NetSystem* previous_;
};

}  // namespace nvtd
