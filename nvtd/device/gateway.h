// GetNetworkDefaultGateway and SetNetworkDefaultGateway over the NETWORK "gateway" record.
#pragma once

namespace nvtd {

int handle_get_network_default_gateway();  // plain
int handle_set_network_default_gateway();  // plain

}  // namespace nvtd
