// The metadata configuration operations: the fixed "T-MetadataConf-00" in the listings, its
// options, and SetMetadataConfiguration, which checks the session timeout and stores nothing.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// The metadata options content of both media services: no PTZ status to filter.
inline constexpr char kMetadataOptions[] =
    "<tt:PTZStatusFilterOptions><tt:PanTiltStatusSupported>false</tt:PanTiltStatusSupported>"
    "<tt:ZoomStatusSupported>false</tt:ZoomStatusSupported></tt:PTZStatusFilterOptions>";

HandlerOutcome handle_get_metadata_config_options(const Request& request, Reply& reply);
HandlerOutcome handle_get_metadata_configs(const Request& request, Reply& reply);
HandlerOutcome handle_get_metadata_config(const Request& request, Reply& reply);
HandlerOutcome handle_get_compatible_metadata_configs(const Request& request,
                                                      Reply& reply);              // body part
HandlerOutcome handle_set_metadata_config(const Request& request, Reply& reply);  // body part

}  // namespace nvtd
