// GetNTP and SetNTP: fixed answers (the camera takes no NTP settings).
#pragma once

namespace nvtd {

int handle_get_ntp();  // plain: not from DHCP
int handle_set_ntp();  // plain: an empty response in a complete envelope; nothing changes

}  // namespace nvtd
