// Process-wide state of nvtd: the configuration the command line decides, fixed at start-up,
// the hardware probe's findings and the stop flag set by the signal handler.
#pragma once

#include <atomic>
#include <cstdint>

namespace nvtd {

// What the command line decides (CGI mode: the defaults).
struct Config {
  bool server = false;         // TCP server mode (--port)
  bool persist = false;        // persistent FIFO relay mode (--persist)
  bool no_auth = false;        // --noauth: the UsernameToken check is skipped
  int32_t verbose = 0;         // number of --verbose options
  int32_t token_window = 300;  // --token-window: seconds a UsernameToken stays fresh; 0 off
  int32_t http_port = 80;      // listening port, and the port put into service addresses
};

// The configuration in force. run_nvtd sets it once from the parsed command line, before
// anything reads it; tests set their own (ScopedConfig in config_test_util.h).
const Config& config();
void set_config(const Config& value);

extern std::atomic<bool> StopRequested;  // set by SIGINT, SIGQUIT, SIGTERM; ends the request loop
extern bool HwAudio;                     // the camera has audio (hardware probe)
extern int32_t RelayCount;               // relay outputs reported in capabilities; always 0

// Debug traces go to standard output only in the server and persistent modes (in CGI mode
// standard output is the response).
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Like trace, but only with Verbose set as well.
void trace_verbose(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace nvtd
