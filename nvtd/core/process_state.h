// Process-wide state of nvtd: the run-mode flags fixed at start-up and the stop flag set by
// the signal handler.
#pragma once

#include <atomic>
#include <cstdint>

namespace nvtd {

extern bool Server;                      // TCP server mode (--port)
extern bool Persist;                     // persistent FIFO relay mode (--persist)
extern bool NoAuth;                      // --noauth: the UsernameToken check is skipped
extern int32_t Verbose;                  // number of --verbose options
extern std::atomic<bool> StopRequested;  // set by SIGINT, SIGQUIT, SIGTERM; ends the request loop
extern int32_t TokenWindow;              // --token-window: seconds a UsernameToken stays fresh; 0 off
extern int32_t HttpPort;                 // listening port, and the port put into service addresses
extern bool HwAudio;                     // the camera has audio (hardware probe)
extern int32_t RelayCount;               // relay outputs reported in capabilities; always 0

// Debug traces go to standard output only in the server and persistent modes (in CGI mode
// standard output is the response).
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Like trace, but only with Verbose set as well.
void trace_verbose(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Back to the initial values (for tests).
void reset_process_state();

}  // namespace nvtd
