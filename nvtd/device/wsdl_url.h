// GetWsdlUrl: where the camera's WSDL would be served.
#pragma once

namespace nvtd {

// Plain: "http://A:P/wsdl/onvif" with the cached NETWORK address and the service port.
int handle_get_wsdl_url();

}  // namespace nvtd
