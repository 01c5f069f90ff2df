// soundtap's message log: every message of the daemon and its distribution thread goes to
// syslog at debug priority (ident "soundtap", facility daemon), or to standard error.
#ifndef SOUNDTAP_LOG_H_
#define SOUNDTAP_LOG_H_

namespace soundtap {

// Opens syslog when use_syslog is set; otherwise messages go to standard error.
void open_log(bool use_syslog);

// printf-style; the text is cut to 1023 characters and never used as a format again.
void log_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace soundtap

#endif  // SOUNDTAP_LOG_H_
