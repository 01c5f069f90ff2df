// The WS-Discovery service: one thread that announces the camera with Hello messages on
// 239.255.255.250:3702 and answers the probes that reach the group. Controlled by
// single-word flags, so the request thread may call these at any time.
#pragma once

#include <atomic>

namespace nvtd {

// The mode last set by SetDiscoveryMode (true at process start); GetDiscoveryMode reports it.
extern std::atomic<bool> Discoverable;

// Stores port (for the service address) and dump flag; starts the thread unless one runs
// (also one that ended on a socket error: a stop_discovery_thread must come first). Returns 0.
int start_discovery_thread(int port, bool dump);
// Sets the stop flag and, if a thread runs, waits for it to end (at most about 5 seconds).
// Returns 0. Safe to call when stopped.
int stop_discovery_thread();
// Queues one Hello, sent 5 to 10 seconds later. Returns 0.
int request_hello();
// Drops every queued Hello.
void cancel_hellos();
// Reads the camera's current address from a fresh NETWORK section ("xxx.xxx.xxx.xxx" when
// unknown). For the discovery thread only: the address is its own state.
void refresh_ip_addr();

}  // namespace nvtd
