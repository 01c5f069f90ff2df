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
#include <cstring>
#include <ctime>

#include "common/unique_fd.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

std::unique_ptr<TokenMemory>& memory_slot() {
  static std::unique_ptr<TokenMemory> memory = std::make_unique<ProcessTokenMemory>();
  return memory;
}

// The log turns while no table can be had: this process's own.
LogLimiter& limiter_without_table() {
  static LogLimiter limiter;
  return limiter;
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

// The token file opened under its exclusive lock and mapped, when it can be trusted and
// used; the lock goes with the descriptor, after the mapping.
class MappedTokenFile {
 public:
  MappedTokenFile(const std::string& directory, const std::string& name, std::size_t groups);
  ~MappedTokenFile() {
    if (map_ != MAP_FAILED) munmap(map_, size_);
  }
  MappedTokenFile(const MappedTokenFile&) = delete;
  MappedTokenFile& operator=(const MappedTokenFile&) = delete;
  // The table's memory, or null when the file is unavailable.
  void* table() const { return map_ == MAP_FAILED ? nullptr : map_; }

 private:
  UniqueFd fd_;
  std::size_t size_;
  void* map_ = MAP_FAILED;
};

MappedTokenFile::MappedTokenFile(const std::string& directory, const std::string& name,
                                 std::size_t groups)
    : size_(token_table_size(groups)) {
  const uid_t me = geteuid();
  if (mkdir(directory.c_str(), 0700) < 0 && errno != EEXIST) return;
  struct stat dir {};
  if (lstat(directory.c_str(), &dir) < 0 || !S_ISDIR(dir.st_mode) || dir.st_uid != me ||
      (dir.st_mode & 077) != 0) {
    syslog(LOG_WARNING, "token directory %s is not private, tokens refused", directory.c_str());
    return;
  }
  const std::string path = directory + "/" + name;
  fd_ = UniqueFd(open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd_.valid() || flock(fd_.get(), LOCK_EX) < 0) return;
  if (!prepare_file(fd_.get(), groups, path)) {
    syslog(LOG_WARNING, "token file %s is unusable, tokens refused", path.c_str());
    return;
  }
  map_ = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.get(), 0);
}

}  // namespace

ProcessTokenMemory::ProcessTokenMemory(std::size_t groups)
    : block_(std::calloc(1, token_table_size(groups))), groups_(groups) {
  if (block_ && !TokenTable(block_.get(), groups_).initialize()) block_.reset();
}

TokenAdmission ProcessTokenMemory::admit(const TokenUse& use, std::int64_t now_ms) {
  if (!block_) return TokenAdmission::kUnavailable;
  return TokenTable(block_.get(), groups_).admit(use, now_ms);
}

LogTurn ProcessTokenMemory::log_turn(std::string_view subject, std::int64_t now_ms) {
  if (!block_) return limiter_without_table().turn(subject, now_ms);
  return TokenTable(block_.get(), groups_).log_turn(subject, now_ms);
}

bool ProcessTokenMemory::derive_key(std::string_view label, unsigned char* out) {
  if (!block_) return false;
  if (!derived_ok_ || label != derived_label_) {
    TokenTable(block_.get(), groups_).derive_key(label, derived_.data());
    derived_label_ = label;
    derived_ok_ = true;
  }
  std::memcpy(out, derived_.data(), derived_.size());
  return true;
}

TokenAdmission FileTokenMemory::admit(const TokenUse& use, std::int64_t now_ms) {
  MappedTokenFile file(directory_, name_, groups_);
  if (file.table() == nullptr) return TokenAdmission::kUnavailable;
  return TokenTable(file.table(), groups_).admit(use, now_ms);
}

LogTurn FileTokenMemory::log_turn(std::string_view subject, std::int64_t now_ms) {
  MappedTokenFile file(directory_, name_, groups_);
  if (file.table() == nullptr) return limiter_without_table().turn(subject, now_ms);
  return TokenTable(file.table(), groups_).log_turn(subject, now_ms);
}

bool FileTokenMemory::derive_key(std::string_view label, unsigned char* out) {
  MappedTokenFile file(directory_, name_, groups_);
  if (file.table() == nullptr) return false;
  TokenTable(file.table(), groups_).derive_key(label, out);
  return true;
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
  bool unavailable = false;
  switch (memory.admit(use, now_ms)) {
    case TokenAdmission::kAdmitted:
    case TokenAdmission::kRepeatAllowed:
      return true;
    case TokenAdmission::kReplayed:
      return false;
    case TokenAdmission::kFull:
    case TokenAdmission::kForgotten:
      break;
    case TokenAdmission::kUnavailable:
      unavailable = true;
      break;
  }
  const LogTurn turn = unavailable ? limiter_without_table().turn(use.account, now_ms)
                                   : memory.log_turn(use.account, now_ms);
  if (!turn.log) return false;
  const char* why = unavailable ? "unavailable" : "full";
  const std::string account(use.account), note = left_out_note(turn);
  syslog(LOG_WARNING, "token memory %s: token of %s refused%s", why, account.c_str(), note.c_str());
  trace("token memory %s: token of %s refused%s\n", why, account.c_str(), note.c_str());
  return false;
}

std::int64_t wall_clock_ms() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace nvtd
