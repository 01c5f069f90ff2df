// GetZeroConfiguration: a fixed answer (zero configuration is off on "eth0").
#pragma once

namespace nvtd {

int handle_get_zero_configuration();  // plain

}  // namespace nvtd
