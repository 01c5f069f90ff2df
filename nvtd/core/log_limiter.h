// Complaints a client can repeat at will (refusals and the like) are logged at most once a
// second for each account or peer; the lines left out are counted and the count goes with the
// next line logged for that subject. The places are few and fixed, in a process (LogLimiter)
// or in memory that processes share (take_log_turn over places in a locked file): when every
// place is held by a subject that complained within the last second, all others share the
// last place.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace nvtd {

inline constexpr std::int64_t kLogIntervalMs = 1000;

// Whether to log this one, and how many lines of its subject were left out since the last.
struct LogTurn {
  bool log = false;
  std::uint32_t left_out = 0;
};

// 64 bytes, all zero when free.
struct LogPlace {
  char subject[48];  // NUL-padded; longer subjects are compared on their first 47 bytes
  std::int64_t logged_ms;
  std::uint32_t left_out;
  std::uint32_t spare;
};
static_assert(sizeof(LogPlace) == 64, "log places are laid out in shared files");

// The turn of a complaint about subject (an account's name or a peer's address) at now_ms,
// over count places (count >= 1; the last is the shared one).
LogTurn take_log_turn(LogPlace* places, std::size_t count, std::string_view subject,
                      std::int64_t now_ms);

// The places of one process, for its threads.
class LogLimiter {
 public:
  static constexpr std::size_t kPlaces = 65;
  LogTurn turn(std::string_view subject, std::int64_t now_ms);

 private:
  std::mutex mutex_;
  std::array<LogPlace, kPlaces> places_{};
};

// " (N more like this left out)" for N > 0, else "": the tail of a line that had its turn.
std::string left_out_note(const LogTurn& turn);

// A complaint a client can repeat at will (a refusal) about subject (its address or its
// account), traced as trace_verbose() does, or as trace() when verbose is false: at most once
// a second for each subject across all such complaints, with the count left out. The text
// is cut at 255 bytes.
void trace_complaint(bool verbose, std::string_view subject, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The same for a line to syslog at priority, sharing trace_complaint's turns.
void syslog_complaint(int priority, std::string_view subject, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace nvtd
