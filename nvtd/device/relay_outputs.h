// The relay-output operations of the device service, answered with fixed texts: nothing is
// switched and no setting changes.
#pragma once

namespace nvtd {

// GetRelayOutputs (plain): one bistable relay "t_RelayOut-0", delay PT1S, idle closed.
int handle_get_relay_outputs();
// SetRelayOutputSettings, SetRelayOutputState (body part): empty responses.
int handle_set_relay_output_settings(const char* text, int length);
int handle_set_relay_output_state(const char* text, int length);

}  // namespace nvtd
