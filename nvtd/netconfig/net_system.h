// The one seam between the IP configuration operations and the system: the shell
// commands that change it, interface requests to the kernel, sleeping, the temporary file
// of an interfaces rewrite and the files read directly (at paths tests may replace). Tests
// install a recorder that returns scripted results instead.
#pragma once

#include <net/if.h>

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "common/atomic_file.h"

namespace nvtd {

class NetSystem {
 public:
  virtual ~NetSystem() = default;
  // Runs command through the shell; the status as system() reports it (0 is success).
  virtual int Run(const std::string& command);
  // At most max_bytes of the file at path; false when it cannot be opened.
  virtual bool ReadFile(const std::string& path, size_t max_bytes, std::string* text);
  // A whole-file replacement of target (common/atomic_file.h): a new empty file, mode 0644,
  // made exclusively beside target under an unpredictable name, for a command to fill; 0 and
  // its path in *temp, or -1 with *temp cleared.
  virtual int BeginReplacement(const std::string& target, std::string* temp);
  // Puts the filled file in its target's place (flushed, renamed, directory flushed); 0, or -1
  // with the target as it was. Either way the replacement is over.
  virtual int CommitReplacement(const std::string& temp);
  // Removes the file unused; the target stays as it was.
  virtual void DropReplacement(const std::string& temp);
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

 private:
  std::map<std::string, std::unique_ptr<atomic_file::Replacement>> replacements_;  // by temp
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
