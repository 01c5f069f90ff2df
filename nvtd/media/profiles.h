// The profile operations of the media service: GetProfiles, GetProfile, CreateProfile and
// DeleteProfile, over the fixed profiles stream1 and stream2 and the created-profile store.
#pragma once

#include <string>

namespace nvtd {

// GetProfiles (plain): stream1, stream2, then the created profiles, as a complete envelope.
int handle_get_profiles();
// GetProfile, CreateProfile, DeleteProfile: `text` is the body from its "Body" on (or the
// whole body for the wsdl form of GetProfile) and `length` its byte count.
int handle_get_profile(const char* text, int length);
int handle_create_profile(const char* text, int length);
int handle_delete_profile(const char* text, int length);

// The whole GetProfiles envelope as it is sent (for the size check of the longest answer).
std::string get_profiles_envelope();

}  // namespace nvtd
