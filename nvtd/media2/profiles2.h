// The Media2 profile operations over the media room's profile store: GetProfiles (one or all,
// with the configuration types asked for), CreateProfile, DeleteProfile, AddConfiguration and
// RemoveConfiguration. The fixed profiles stream1 and stream2 are listed first; they cannot be
// deleted, and their configurations, bound to their streams, cannot be changed. All are
// body-part handlers.
#pragma once

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

HandlerOutcome handle_get_profiles2(const Request& request, Reply& reply);
HandlerOutcome handle_create_profile2(const Request& request, Reply& reply);
HandlerOutcome handle_delete_profile2(const Request& request, Reply& reply);
HandlerOutcome handle_add_configuration2(const Request& request, Reply& reply);
HandlerOutcome handle_remove_configuration2(const Request& request, Reply& reply);

}  // namespace nvtd
