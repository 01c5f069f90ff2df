// The one seam between the IP configuration operations and the system: shell commands
// (system, popen), interface requests to the kernel, sleeping and the files read
// directly. Tests install a recorder that returns scripted results instead.
#pragma once

#include <net/if.h>

#include <string>

namespace nvtd {

class NetSystem {
 public:
  virtual ~NetSystem() = default;
  // Runs command through the shell; the status as system() reports it (0 is success).
  virtual int Run(const std::string& command);
  // Runs command and collects its standard output; -1 when it cannot be started.
  virtual int Capture(const std::string& command, std::string* output);
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
