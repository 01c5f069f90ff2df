// The soundtap process: start-up in its fixed order, the request loop, and the stop.
#ifndef SOUNDTAP_DAEMON_H_
#define SOUNDTAP_DAEMON_H_

namespace soundtap {

// Runs the daemon; returns the exit status (0 after a stop signal, 1 when the control
// queues cannot be opened).
int run_soundtap(int argc, const char* const* argv);

}  // namespace soundtap

#endif  // SOUNDTAP_DAEMON_H_
