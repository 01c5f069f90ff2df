// Stream and snapshot addresses of the media service, composed from the camera address and
// the profile's stream number; the streams themselves are served by other processes.
#pragma once

#include <string>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// The URI of stream n for a Protocol value: "HTTP" gives http://A:82/onvif/streamN, "RTSP"
// and "UDP" give rtsp://A/onvif/streamN; any other value (case matters) gives "".
std::string stream_uri(const std::string& protocol, const std::string& address, int stream);

// http://A:P/onvif/no_image.jpg: the camera address and CAM "http_port" as P (-1 when missing).
std::string snapshot_uri();

// The GetStreamUri envelope for a URI, and the GetSnapshotUri envelope for the camera address
// and its HTTP port.
std::string stream_uri_envelope(const std::string& uri);
std::string snapshot_uri_envelope(const std::string& uri);

// GetStreamUri (plain): "Protocol" (at most 15 characters) and "ProfileToken".
HandlerOutcome handle_get_stream_uri(const Request& request, Reply& reply);
// GetSnapshotUri (plain): http://A:P/onvif/no_image.jpg with CAM "http_port" as P.
HandlerOutcome handle_get_snapshot_uri(const Request& request, Reply& reply);
// StartMulticastStreaming (plain): always refused with 400 and ter:InvalidStreamSetup.
HandlerOutcome handle_start_multicast_streaming(const Request& request, Reply& reply);

}  // namespace nvtd
