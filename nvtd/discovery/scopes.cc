// User scopes: a five-entry table with first-free-slot allocation and two strings derived
// from it, rebuilt under the scope lock after every change so readers see whole values.
#include "nvtd/discovery/scopes.h"

#include <mutex>

#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

std::mutex scope_lock;  // guards UserScopes, scope_string and scope_item_string
std::array<UserScope, kUserScopeCount> UserScopes;
std::string scope_string;
std::string scope_item_string;

// Rebuilds both derived strings from the in-use entries; scope_lock held.
void Rebuild() {
  scope_string.clear();
  scope_item_string.clear();
  for (const UserScope& entry : UserScopes) {
    if (!entry.in_use) continue;
    scope_string += " " + entry.text;
    scope_item_string += "<tds:ScopeItem>" + entry.text + "</tds:ScopeItem>";
  }
  // Five scopes of 63 characters fit; the cut only keeps the buffers' bound.
  scope_string = scope_string.substr(0, kScopeStringBytes - 1);
  scope_item_string = scope_item_string.substr(0, kScopeStringBytes - 1);
  trace("\tScopeString: %s\n", scope_string.c_str());
  trace("\tScopeItemString: %s\n", scope_item_string.c_str());
}

int AddLocked(std::string_view scope) {
  for (int i = 0; i < kUserScopeCount; ++i) {
    UserScope& entry = UserScopes[i];
    if (entry.in_use) continue;
    entry.text = std::string(scope.substr(0, kUserScopeChars));
    entry.in_use = true;
    trace("ScopeAdd (%d) %s\n", i, entry.text.c_str());
    Rebuild();
    return i;
  }
  return -1;
}

}  // namespace

void ScopesInit() {
  std::lock_guard<std::mutex> hold(scope_lock);
  for (UserScope& entry : UserScopes) entry = UserScope{};
  scope_string.clear();
  scope_item_string.clear();
}

int ScopeAdd(std::string_view scope) {
  std::lock_guard<std::mutex> hold(scope_lock);
  return AddLocked(scope);
}

int ScopeRemove(std::string_view scope) {
  std::lock_guard<std::mutex> hold(scope_lock);
  trace("ScopeRemove %.*s\n", static_cast<int>(scope.size()), scope.data());
  for (UserScope& entry : UserScopes) {
    if (entry.in_use && entry.text == scope) {
      entry = UserScope{};
      Rebuild();
      return 0;
    }
  }
  return -1;
}

int ScopeSet(std::string_view scope) {
  std::lock_guard<std::mutex> hold(scope_lock);
  trace("ScopeSet %.*s\n", static_cast<int>(scope.size()), scope.data());
  for (UserScope& entry : UserScopes) entry = UserScope{};
  return AddLocked(scope);
}

std::string ScopeString() {
  std::lock_guard<std::mutex> hold(scope_lock);
  return scope_string;
}

std::string ScopeItemString() {
  std::lock_guard<std::mutex> hold(scope_lock);
  return scope_item_string;
}

int ScopeMatch(std::string_view text) {
  std::lock_guard<std::mutex> hold(scope_lock);
  for (const UserScope& entry : UserScopes) {
    if (entry.in_use && text.find(entry.text) != std::string_view::npos) return 1;
  }
  return 0;
}

std::array<std::string, 6> FixedScopes(std::string_view model) {
  const std::string p = kScopePrefix;
  return {p + "Profile/Streaming",
          p + "type/video_encoder",
          p + "type/audio_encoder",
          p + "location/usa",
          p + "hardware/" + std::string(model),
          p + "name/Corvane"};
}

}  // namespace nvtd
