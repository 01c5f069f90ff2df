// The token table's two homes (process memory, a locked file shared by CGI processes) and
// the checks the UsernameToken check makes with them.
#include "nvtd/auth/token_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "common/unique_fd.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

std::unique_ptr<TokenMemory>& memory_slot() {
  static std::unique_ptr<TokenMemory> memory = std::make_unique<ProcessTokenMemory>();
  return memory;
}

// The opened file of groups' size, made afresh (empty, a new secret) when it holds no table
// of that size. False when it is unusable.
bool prepare_file(int fd, std::size_t groups, const std::string& path) {
  const off_t size = off_t(token_table_size(groups));
  struct stat file {};
  if (fstat(fd, &file) < 0 || !S_ISREG(file.st_mode) || file.st_uid != geteuid()) return false;
  if (file.st_size == size) {
    TokenTableHeader header{};
    if (pread(fd, &header, sizeof header, 0) == ssize_t(sizeof header) &&
        TokenTable(&header, groups).valid()) {
      return true;
    }
  }
  if (file.st_size != 0) syslog(LOG_WARNING, "token file %s made afresh", path.c_str());
  if (ftruncate(fd, 0) < 0 || ftruncate(fd, size) < 0) return false;
  TokenTableHeader header{};
  if (!TokenTable(&header, groups).initialize()) return false;
  return pwrite(fd, &header, sizeof header, 0) == ssize_t(sizeof header);
}

}  // namespace

ProcessTokenMemory::ProcessTokenMemory(std::size_t groups)
    : block_(std::calloc(1, token_table_size(groups))), groups_(groups) {
  if (block_ && !TokenTable(block_.get(), groups_).initialize()) block_.reset();
}

TokenAdmission ProcessTokenMemory::admit(const TokenUse& use, std::int64_t now_ms) {
  if (!block_) return TokenAdmission::kFull;
  return TokenTable(block_.get(), groups_).admit(use, now_ms);
}

TokenAdmission FileTokenMemory::admit(const TokenUse& use, std::int64_t now_ms) {
  // Refused (as by a full table) whenever the file cannot be trusted or used.
  const uid_t me = geteuid();
  if (mkdir(directory_.c_str(), 0700) < 0 && errno != EEXIST) return TokenAdmission::kFull;
  struct stat dir {};
  if (lstat(directory_.c_str(), &dir) < 0 || !S_ISDIR(dir.st_mode) || dir.st_uid != me ||
      (dir.st_mode & 077) != 0) {
    syslog(LOG_WARNING, "token directory %s is not private, tokens refused", directory_.c_str());
    return TokenAdmission::kFull;
  }
  const std::string path = directory_ + "/" + name_;
  UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd.valid() || flock(fd.get(), LOCK_EX) < 0) return TokenAdmission::kFull;
  if (!prepare_file(fd.get(), groups_, path)) {
    syslog(LOG_WARNING, "token file %s is unusable, tokens refused", path.c_str());
    return TokenAdmission::kFull;
  }
  const size_t size = token_table_size(groups_);
  void* map = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
  if (map == MAP_FAILED) return TokenAdmission::kFull;
  TokenAdmission result = TokenTable(map, groups_).admit(use, now_ms);
  munmap(map, size);
  return result;  // the lock goes with the descriptor
}

TokenMemory& token_memory() {
  return *memory_slot();
}

void set_token_memory(std::unique_ptr<TokenMemory> memory) {
  memory_slot() = std::move(memory);
}

bool created_in_window(const CreatedTime& created, int window, std::int64_t now) {
  return created.seconds >= now - window && created.seconds <= now + window;
}

bool token_counts(const TokenUse& use, TokenMemory& memory, std::int64_t now_ms) {
  switch (memory.admit(use, now_ms)) {
    case TokenAdmission::kAdmitted:
    case TokenAdmission::kRepeated:
      return true;
    case TokenAdmission::kReplayed:
      return false;
    case TokenAdmission::kFull:
    case TokenAdmission::kForgotten:
      break;
  }
  std::string account(use.account);
  syslog(LOG_WARNING, "token memory full: token of %s refused", account.c_str());
  trace("token memory full: token of %s refused\n", account.c_str());
  return false;
}

std::int64_t wall_clock_ms() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace nvtd
