// The profile operations of the media service: GetProfiles, GetProfile, CreateProfile and
// DeleteProfile, over the fixed profiles stream1 and stream2 and the created-profile store.
#pragma once

#include <string>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"

namespace nvtd {

// GetProfiles (plain): stream1, stream2, then the created profiles, as a complete envelope.
HandlerOutcome handle_get_profiles(const Request& request, Reply& reply);
// GetProfile, CreateProfile, DeleteProfile read the body from its "Body" on; the wsdl form
// of GetProfile reads the whole body.
HandlerOutcome handle_get_profile(const Request& request, Reply& reply);
HandlerOutcome handle_wsdl_get_profile(const Request& request, Reply& reply);
HandlerOutcome handle_create_profile(const Request& request, Reply& reply);
HandlerOutcome handle_delete_profile(const Request& request, Reply& reply);

// The whole GetProfiles envelope as it is sent (for the size check of the longest answer).
std::string get_profiles_envelope();

}  // namespace nvtd
