// The camera's ONVIF scopes: the fixed ones built from constants and the model, and the
// user scopes that clients set, add and remove (memory only, guarded by the scope lock).
// Hello, ProbeMatches, GetScopes and RemoveScopes all carry this one set.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

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
void scopes_init();
// Stores scope (cut to kUserScopeChars) in the first free entry: its index, or -1 when full.
int scope_add(std::string_view scope);
// Frees the first in-use entry equal to scope: 0, or -1 when none matches.
int scope_remove(std::string_view scope);
// Drops every user scope, then adds this one: the index.
int scope_set(std::string_view scope);
// The announced user scopes are those whose escaped text still fits both derived strings
// below (whole scopes only, in entry order).

// " scope" for each announced user scope ("" when there are none), escaped for XML; the
// text stays under kScopeStringBytes.
std::string announced_scopes();
// "<tds:ScopeItem>scope</tds:ScopeItem>" for each announced user scope, alike.
std::string announced_scope_items();
// The announced user scopes as stored (not escaped).
std::vector<std::string> user_scope_list();
// 1 when the text of any user scope occurs in text, else 0.
int scope_match(std::string_view text);

// True when model begins with "cv" in any letter case: the maker's own line.
bool is_maker_model(std::string_view model);
// The name scope's value: "Corvane" for the maker's own models, otherwise "OLM".
const char* name_scope_value(bool maker);

// The six fixed scopes in their order, as ONVIF scope URIs: Profile/Streaming,
// type/video_encoder, type/audio_encoder, location/usa, hardware/<model>, name/<name_scope_value>.
std::array<std::string, 6> fixed_scopes(std::string_view model);
// The camera's whole scope set: the fixed scopes, then user_scope_list().
std::vector<std::string> camera_scopes(std::string_view model);
// The text of a WS-Discovery Scopes element: the fixed scopes (escaped) separated by blanks,
// then user_scopes (announced_scopes(): each with its leading blank) and a closing blank.
std::string scope_list_text(std::string_view model, std::string_view user_scopes);

}  // namespace nvtd
