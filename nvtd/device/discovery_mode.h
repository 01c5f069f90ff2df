// GetDiscoveryMode and SetDiscoveryMode: whether the camera announces itself and answers
// probes (WS-Discovery), kept in memory and written to CAM "nvtd_discoverable".
#pragma once

namespace nvtd {

int handle_get_discovery_mode();  // plain
// Plain: "NonDiscoverable" stops discovery, "Discoverable" starts it; anything else
// changes nothing. The empty response in every case.
int handle_set_discovery_mode();

}  // namespace nvtd
