// The real system behind the IP configuration operations.

#include "nvtd/netconfig/net_system.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace nvtd {
namespace {

NetSystem* installed = nullptr;
bool traces_on = false;

}  // namespace

int NetSystem::Run(const std::string& command) {
  return std::system(command.c_str());
}

bool NetSystem::ReadFile(const std::string& path, size_t max_bytes, std::string* text) {
  text->clear();
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "re"), std::fclose);
  if (!file) return false;
  char chunk[512];
  size_t n;
  while (text->size() < max_bytes &&
         (n = std::fread(chunk, 1, std::min(sizeof chunk, max_bytes - text->size()), file.get())) >
             0) {
    text->append(chunk, n);
  }
  return true;
}

int NetSystem::BeginReplacement(const std::string& target, std::string* temp) {
  temp->clear();
  auto replacement = std::make_unique<atomic_file::Replacement>(target, 0644);
  if (!replacement->valid()) return -1;
  *temp = replacement->temp_path();
  replacements_[*temp] = std::move(replacement);
  return 0;
}

int NetSystem::CommitReplacement(const std::string& temp) {
  auto it = replacements_.find(temp);
  if (it == replacements_.end()) return -1;
  const bool done = it->second->commit();
  replacements_.erase(it);
  return done ? 0 : -1;
}

void NetSystem::DropReplacement(const std::string& temp) {
  replacements_.erase(temp);  // removes the file
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
