// The camera's ONVIF scopes: the fixed ones built from constants and the model, and the
// user scopes that clients set, add and remove (memory only, guarded by the scope lock).
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace nvtd {

// The ONVIF scope URI prefix, followed by each scope's own part.
inline constexpr char kScopePrefix[] = "onvif://www.onvif.org/";

inline constexpr int kUserScopeCount = 5;
inline constexpr std::size_t kUserScopeChars = 63;     // longest user scope kept
inline constexpr std::size_t kScopeStringBytes = 500;  // each derived string's buffer

// One user scope entry; an entry that is not in use holds no text.
struct UserScope {
  std::string text;
  bool in_use = false;
};

// Marks every entry free and empties both derived strings.
void ScopesInit();
// Stores scope (cut to kUserScopeChars) in the first free entry: its index, or -1 when full.
int ScopeAdd(std::string_view scope);
// Frees the first in-use entry equal to scope: 0, or -1 when none matches.
int ScopeRemove(std::string_view scope);
// Drops every user scope, then adds this one: the index.
int ScopeSet(std::string_view scope);
// " scope" for each user scope, in entry order ("" when there are none); the scopes
// are escaped for XML and the text stays under kScopeStringBytes (whole scopes only).
std::string ScopeString();
// "<tds:ScopeItem>scope</tds:ScopeItem>" for each user scope, in entry order, alike.
std::string ScopeItemString();
// 1 when the text of any user scope occurs in text, else 0.
int ScopeMatch(std::string_view text);

// The six fixed scopes in their order, as ONVIF scope URIs: Profile/Streaming,
// type/video_encoder, type/audio_encoder, location/usa, hardware/<model>, name/Corvane.
std::array<std::string, 6> FixedScopes(std::string_view model);

}  // namespace nvtd
