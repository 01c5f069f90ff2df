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

// Whether the request's settings could not all be got or set (asked after the handler,
// before the release); unset it answers false.
using RequestCheck = bool (*)();
void set_settings_failed_check(RequestCheck check);
bool request_settings_failed();

}  // namespace nvtd
