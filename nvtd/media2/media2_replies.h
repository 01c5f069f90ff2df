// What the Media2 configuration and stream handlers share: the tt/tr2 reply framing, the
// request values they read (element texts and start-tag attributes of the SOAP Body) and what
// a Media2 profile token names in the media room's profile store.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "nvtd/core/operation.h"
#include "nvtd/core/reply.h"
#include "nvtd/core/request.h"
#include "nvtd/media/profile_store.h"
#include "nvtd/soap/faults.h"

namespace nvtd {

// A complete tt/tr2 envelope around the Body's content, formatted from a printf form.
void send_media2(Reply& reply, const char* content_format, ...)
    __attribute__((format(printf, 2, 3)));
// The empty response "<tr2:NAME></tr2:NAME>".
void send_media2_empty(Reply& reply, const char* name);
// The catalogue fault with its own status; the handler's outcome.
HandlerOutcome media2_fault(Reply& reply, Fault fault);

// The text of the Body's first element `name` (any prefix), at most 64 characters (a token).
std::optional<std::string> body_value(const Request& request, const char* name);
// The same read as a number with strtol's rules (leading digits; none give 0).
std::optional<long> body_number(const Request& request, const char* name);
// The value of `attribute` in the start tag of the first element whose local name is
// `element`, at most size - 1 characters; absent when there is no such element or attribute.
std::optional<std::string> start_tag_attribute(std::string_view text, std::string_view element,
                                               std::string_view attribute, std::size_t size);

// A profile token as the Media2 service reads it: the fixed "stream1" and "stream2", or a
// created profile with exactly this token.
struct Media2Profile {
  bool found = false;
  int fixed_stream = 0;                // 1 or 2 for the fixed profiles, 0 for a created one
  const profile_slot* slot = nullptr;  // the created profile
};
Media2Profile find_media2_profile(std::string_view token);
// The stream a profile's video leaves by: the fixed profile's own; a created profile's video
// encoder ("T-VEConf-stream2" gives 2, any other 1); 0 when it lacks a video source or encoder.
int profile_stream(const Media2Profile& profile);

}  // namespace nvtd
