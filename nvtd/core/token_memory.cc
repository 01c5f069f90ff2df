// Created-time parsing, the slot table and its two homes (process memory, a locked file).
#include "nvtd/core/token_memory.h"

#include <fcntl.h>
#include <openssl/sha.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/unique_fd.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

// Reads exactly n digits at text[*at]; advances *at.
bool digits(std::string_view text, std::size_t* at, int n, int* value) {
  if (*at + n > text.size()) return false;
  int v = 0;
  for (int i = 0; i < n; ++i) {
    char c = text[*at + i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *at += n;
  *value = v;
  return true;
}

bool expect(std::string_view text, std::size_t* at, char c) {
  if (*at >= text.size() || text[*at] != c) return false;
  ++*at;
  return true;
}

bool leap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leap(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the date (proleptic Gregorian calendar).
std::int64_t days_from_civil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - int(era * 400);
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::array<unsigned char, 16> token_key(std::string_view nonce, std::string_view created) {
  std::string material(nonce);
  material.push_back('\0');
  material.append(created);
  unsigned char digest[SHA_DIGEST_LENGTH];
  SHA1(reinterpret_cast<const unsigned char*>(material.data()), material.size(), digest);
  std::array<unsigned char, 16> key;
  std::memcpy(key.data(), digest, key.size());
  return key;
}

std::unique_ptr<TokenMemory>& memory_slot() {
  static std::unique_ptr<TokenMemory> memory = std::make_unique<ProcessTokenMemory>();
  return memory;
}

}  // namespace

std::optional<std::int64_t> parse_created(std::string_view text) {
  std::size_t at = 0;
  int year, month, day, hour, minute, second;
  if (!digits(text, &at, 4, &year) || !expect(text, &at, '-') || !digits(text, &at, 2, &month) ||
      !expect(text, &at, '-') || !digits(text, &at, 2, &day) || !expect(text, &at, 'T') ||
      !digits(text, &at, 2, &hour) || !expect(text, &at, ':') || !digits(text, &at, 2, &minute) ||
      !expect(text, &at, ':') || !digits(text, &at, 2, &second)) {
    return std::nullopt;
  }
  if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return std::nullopt;
  }
  if (at < text.size() && text[at] == '.') {
    std::size_t start = ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    if (at == start) return std::nullopt;
  }
  int offset = 0;
  if (expect(text, &at, 'Z')) {
    offset = 0;
  } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    int sign = text[at++] == '-' ? -1 : 1;
    int oh, om;
    if (!digits(text, &at, 2, &oh) || !expect(text, &at, ':') || !digits(text, &at, 2, &om) ||
        oh > 14 || om > 59) {
      return std::nullopt;
    }
    offset = sign * (oh * 3600 + om * 60);
  } else {
    return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  return days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset;
}

TokenAdmission admit_token(TokenSlot* slots, std::size_t count,
                           const std::array<unsigned char, 16>& key, std::int64_t forget_at,
                           std::int64_t now) {
  // Every slot is looked at, so the loop compares the keys' first eight bytes as one word
  // and the rest only when those agree.
  std::uint64_t head;
  std::memcpy(&head, key.data(), sizeof head);
  TokenSlot* free_slot = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    TokenSlot& slot = slots[i];
    if (slot.forget_at < now) {
      if (free_slot == nullptr) free_slot = &slot;
      continue;
    }
    std::uint64_t slot_head;
    std::memcpy(&slot_head, slot.key.data(), sizeof slot_head);
    if (slot_head == head && slot.key == key) return TokenAdmission::kReplayed;
  }
  if (free_slot == nullptr) return TokenAdmission::kFull;
  free_slot->key = key;
  free_slot->forget_at = forget_at;
  return TokenAdmission::kAdmitted;
}

ProcessTokenMemory::ProcessTokenMemory(std::size_t slots)
    : slots_(static_cast<TokenSlot*>(std::calloc(slots, sizeof(TokenSlot)))),
      count_(slots_ ? slots : 0) {}

TokenAdmission ProcessTokenMemory::admit(const std::array<unsigned char, 16>& key,
                                         std::int64_t forget_at, std::int64_t now) {
  return admit_token(slots_.get(), count_, key, forget_at, now);
}

TokenAdmission FileTokenMemory::admit(const std::array<unsigned char, 16>& key,
                                      std::int64_t forget_at, std::int64_t now) {
  // Refused (as a full table) whenever the file cannot be trusted or used.
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
  const off_t size = off_t(slots_ * sizeof(TokenSlot));
  struct stat file {};
  if (fstat(fd.get(), &file) < 0 || !S_ISREG(file.st_mode) || file.st_uid != me ||
      (file.st_size != 0 && file.st_size != size) ||
      (file.st_size == 0 && ftruncate(fd.get(), size) < 0)) {
    syslog(LOG_WARNING, "token file %s is unusable, tokens refused", path.c_str());
    return TokenAdmission::kFull;
  }
  void* map = mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
  if (map == MAP_FAILED) return TokenAdmission::kFull;
  TokenAdmission result = admit_token(static_cast<TokenSlot*>(map), slots_, key, forget_at, now);
  munmap(map, size_t(size));
  return result;  // the lock goes with the descriptor
}

TokenMemory& token_memory() {
  return *memory_slot();
}

void set_token_memory(std::unique_ptr<TokenMemory> memory) {
  memory_slot() = std::move(memory);
}

bool token_is_fresh(std::string_view nonce, std::string_view created, int window, std::int64_t now,
                    TokenMemory& memory) {
  if (window <= 0) return true;
  std::optional<std::int64_t> at = parse_created(created);
  if (!at || *at < now - window || *at > now + window) return false;
  switch (memory.admit(token_key(nonce, created), *at + window, now)) {
    case TokenAdmission::kAdmitted:
      return true;
    case TokenAdmission::kReplayed:
      return false;
    case TokenAdmission::kFull:
      break;
  }
  syslog(LOG_WARNING, "fresh-token table full: request refused");
  trace("fresh-token table full: request refused\n");
  return false;
}

}  // namespace nvtd
