// The stream a profile or configuration token names: 1..4 in the media service.
#pragma once

#include <string_view>

namespace nvtd {

// 1, 2, 3 or 4 when token contains "stream1", "stream2", "stream3" or "stream4" (tested in
// that order); else 1 when a created profile has exactly this token; else -1.
int stream_of_token(std::string_view token, bool created_profile);

// The stream of the element `element_name` of the whole request body (at most 31
// characters); -1 when the element is missing or names no stream.
int profile_to_stream(std::string_view body, const char* element_name);

}  // namespace nvtd
