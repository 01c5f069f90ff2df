// soundtap's message log: syslog at debug priority, or standard error with "--stdout".
#include "soundtap/log.h"

#include <syslog.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace soundtap {
namespace {
std::atomic<bool> UseSyslog{true};
}  // namespace

void open_log(bool use_syslog) {
  UseSyslog = use_syslog;
  if (use_syslog) openlog("soundtap", LOG_CONS | LOG_NDELAY, LOG_DAEMON);
}

void log_message(const char* format, ...) {
  // Each call formats into its own buffer: both threads log.
  char text[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  if (UseSyslog) {
    syslog(LOG_DEBUG, "%s", text);
  } else {
    fputs(text, stderr);
    fflush(stderr);
  }
}

}  // namespace soundtap
