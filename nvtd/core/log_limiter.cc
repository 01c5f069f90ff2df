// Log turns: a subject keeps its place while it complains; a place whose subject has been
// quiet for a second may be taken by another.
#include "nvtd/core/log_limiter.h"

#include <syslog.h>
#include <time.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <optional>

#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

// The subject's place, or a quiet one made its own, or else the shared last place.
LogPlace& place_of(LogPlace* places, std::size_t count, std::string_view subject,
                   std::int64_t now_ms) {
  if (subject.empty()) subject = "-";
  char key[sizeof LogPlace::subject] = {};
  std::memcpy(key, subject.data(), std::min(subject.size(), sizeof key - 1));
  // Of the places quiet for a second (free ones are), one with nothing left to report goes
  // first, then the one quiet for longest (its count is lost).
  auto sooner_given = [](const LogPlace& a, const LogPlace& b) {
    if ((a.left_out == 0) != (b.left_out == 0)) return a.left_out == 0;
    return a.logged_ms < b.logged_ms;
  };
  LogPlace* reusable = nullptr;
  for (std::size_t i = 0; i + 1 < count; ++i) {
    LogPlace& p = places[i];
    if (std::memcmp(p.subject, key, sizeof key) == 0) return p;
    bool quiet = p.subject[0] == '\0' || now_ms - p.logged_ms >= kLogIntervalMs;
    if (quiet && (reusable == nullptr || sooner_given(p, *reusable))) reusable = &p;
  }
  if (reusable == nullptr) return places[count - 1];
  *reusable = LogPlace{};
  std::memcpy(reusable->subject, key, sizeof key);
  reusable->logged_ms = now_ms - kLogIntervalMs;
  return *reusable;
}

}  // namespace

LogTurn take_log_turn(LogPlace* places, std::size_t count, std::string_view subject,
                      std::int64_t now_ms) {
  LogPlace& place = place_of(places, count, subject, now_ms);
  // A clock that went back starts a new interval, so that no subject is silenced for long.
  if (now_ms - place.logged_ms >= kLogIntervalMs || now_ms < place.logged_ms) {
    LogTurn turn{true, place.left_out};
    place.logged_ms = now_ms;
    place.left_out = 0;
    return turn;
  }
  if (place.left_out < UINT32_MAX) ++place.left_out;
  return LogTurn{false, 0};
}

LogTurn LogLimiter::turn(std::string_view subject, std::int64_t now_ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  return take_log_turn(places_.data(), places_.size(), subject, now_ms);
}

std::string left_out_note(const LogTurn& turn) {
  if (turn.left_out == 0) return "";
  return " (" + std::to_string(turn.left_out) + " more like this left out)";
}

namespace {

// The turn of a complaint about subject now, from the one set of places of this process.
LogTurn complaint_turn(std::string_view subject) {
  static LogLimiter complaints;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return complaints.turn(subject, std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
}

// The complaint's line when it has its turn: the text cut at 255 bytes, without a closing
// line break, and the count of those left out; nothing when it has none.
std::optional<std::string> complaint_line(std::string_view subject, const char* format,
                                          va_list args) {
  const LogTurn turn = complaint_turn(subject);
  if (!turn.log) return std::nullopt;
  char text[256];
  std::vsnprintf(text, sizeof text, format, args);
  std::size_t size = std::strlen(text);
  if (size > 0 && text[size - 1] == '\n') --size;
  return std::string(text, size) + left_out_note(turn);
}

}  // namespace

void trace_complaint(bool verbose, std::string_view subject, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::optional<std::string> line = complaint_line(subject, format, args);
  va_end(args);
  if (!line) return;
  if (verbose) {
    trace_verbose("%s\n", line->c_str());
  } else {
    trace("%s\n", line->c_str());
  }
}

void syslog_complaint(int priority, std::string_view subject, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::optional<std::string> line = complaint_line(subject, format, args);
  va_end(args);
  if (line) syslog(priority, "%s", line->c_str());
}

}  // namespace nvtd
