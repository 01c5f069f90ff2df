// The Media2 stream operations: encoder instances of the video source, stream and snapshot
// URIs of a profile, the synchronization point, and the OSD queries of a camera that has no
// OSDs.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_media2_get_video_encoder_instances(const Request& request, Reply& reply);
// RTSP and RtspUnicast: the stream server's RTSP URI; any other protocol (the stream server
// tunnels nothing over HTTP and has no multicast or SRTP) ter:InvalidStreamSetup.
HandlerOutcome handle_media2_get_stream_uri(const Request& request, Reply& reply);
HandlerOutcome handle_media2_get_snapshot_uri(const Request& request, Reply& reply);
HandlerOutcome handle_media2_set_synchronization_point(const Request& request, Reply& reply);
HandlerOutcome handle_media2_get_osds(const Request& request, Reply& reply);
HandlerOutcome handle_media2_get_osd_options(const Request& request, Reply& reply);

}  // namespace nvtd
