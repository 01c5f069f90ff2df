// The real system behind the IP configuration operations.

#include "nvtd/netconfig/net_system.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace nvtd {
namespace {

NetSystem* installed = nullptr;
bool traces_on = false;

// Output beyond this is not needed by any operation (they read a few lines).
constexpr size_t kMaxCapture = 64 * 1024;

}  // namespace

int NetSystem::Run(const std::string& command) {
  return std::system(command.c_str());
}

int NetSystem::Capture(const std::string& command, std::string* output) {
  output->clear();
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) return -1;
  char chunk[512];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe.get())) > 0) {
    if (output->size() < kMaxCapture) output->append(chunk, n);
  }
  return 0;
}

int NetSystem::InterfaceRequest(unsigned long request, ifreq* req) {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kSocketFailed;
  int rc = ::ioctl(fd, request, req);
  int saved = errno;
  ::close(fd);
  errno = saved;
  return rc < 0 ? kRequestFailed : 0;
}

void NetSystem::Sleep(int seconds) {
  ::sleep(static_cast<unsigned>(seconds));
}

void NetSystem::Trace(const std::string& line) {
  if (!traces_on) return;
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

void set_net_traces(bool on) {
  traces_on = on;
}

NetSystem& net_system() {
  static NetSystem real;
  return installed != nullptr ? *installed : real;
}

ScopedNetSystem::ScopedNetSystem(NetSystem* system) : previous_(installed) {
  installed = system;
}

ScopedNetSystem::~ScopedNetSystem() {
  installed = previous_;
}

}  // namespace nvtd
