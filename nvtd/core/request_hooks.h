// Per-request hooks around the handlers of authenticated operations: the settings room
// registers the filling and release of its section cache here at start-up, so the
// dispatcher needs no knowledge of the settings client. Unset hooks do nothing.
#pragma once

namespace nvtd {

using RequestHook = void (*)();

// fill runs after authentication, before the handler; release after the handler.
void set_request_hooks(RequestHook fill, RequestHook release);

void run_fill_hook();
void run_release_hook();

}  // namespace nvtd
