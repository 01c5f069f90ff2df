// User scopes: a five-entry table with first-free-slot allocation and two strings derived
// from it, rebuilt under the scope lock after every change so readers see whole values.
#include "nvtd/discovery/scopes.h"

#include <cctype>
#include <mutex>

#include "nvtd/core/process_state.h"
#include "nvtd/soap/xml_text.h"

namespace nvtd {
namespace {

std::mutex scope_lock;  // guards UserScopes, scope_string and scope_item_string
std::array<UserScope, kUserScopeCount> UserScopes;
std::string scope_string;
std::string scope_item_string;
std::vector<std::string> announced;  // the user scopes both strings carry

// Rebuilds the derived strings and the announced list from the in-use entries; scope_lock
// held. The scopes go into XML escaped; escaping can lengthen them past the strings' bound,
// and a scope that no longer fits either string is left out of all of them, whole rather
// than cut inside a tag or entity, so every message carries the same set.
void rebuild() {
  scope_string.clear();
  scope_item_string.clear();
  announced.clear();
  for (const UserScope& entry : UserScopes) {
    if (!entry.in_use) continue;
    std::string text = xml_safe(entry.text);
    std::string plain = " " + text;
    std::string item = "<tds:ScopeItem>" + text + "</tds:ScopeItem>";
    if (scope_string.size() + plain.size() < kScopeStringBytes &&
        scope_item_string.size() + item.size() < kScopeStringBytes) {
      scope_string += plain;
      scope_item_string += item;
      announced.push_back(entry.text);
    }
  }
  trace("\tScopeString: %s\n", scope_string.c_str());
  trace("\tScopeItemString: %s\n", scope_item_string.c_str());
}

int add_locked(std::string_view scope) {
  for (int i = 0; i < kUserScopeCount; ++i) {
    UserScope& entry = UserScopes[i];
    if (entry.in_use) continue;
    entry.text = std::string(scope.substr(0, kUserScopeChars));
    entry.in_use = true;
    trace("ScopeAdd (%d) %s\n", i, entry.text.c_str());
    rebuild();
    return i;
  }
  return -1;
}

}  // namespace

void scopes_init() {
  std::lock_guard<std::mutex> hold(scope_lock);
  for (UserScope& entry : UserScopes) entry = UserScope{};
  scope_string.clear();
  scope_item_string.clear();
  announced.clear();
}

int scope_add(std::string_view scope) {
  std::lock_guard<std::mutex> hold(scope_lock);
  return add_locked(scope);
}

int scope_remove(std::string_view scope) {
  std::lock_guard<std::mutex> hold(scope_lock);
  trace("ScopeRemove %.*s\n", static_cast<int>(scope.size()), scope.data());
  for (UserScope& entry : UserScopes) {
    if (entry.in_use && entry.text == scope) {
      entry = UserScope{};
      rebuild();
      return 0;
    }
  }
  return -1;
}

int scope_set(std::string_view scope) {
  std::lock_guard<std::mutex> hold(scope_lock);
  trace("ScopeSet %.*s\n", static_cast<int>(scope.size()), scope.data());
  for (UserScope& entry : UserScopes) entry = UserScope{};
  return add_locked(scope);
}

std::string announced_scopes() {
  std::lock_guard<std::mutex> hold(scope_lock);
  return scope_string;
}

std::string announced_scope_items() {
  std::lock_guard<std::mutex> hold(scope_lock);
  return scope_item_string;
}

std::vector<std::string> user_scope_list() {
  std::lock_guard<std::mutex> hold(scope_lock);
  return announced;
}

int scope_match(std::string_view text) {
  std::lock_guard<std::mutex> hold(scope_lock);
  for (const UserScope& entry : UserScopes) {
    if (entry.in_use && text.find(entry.text) != std::string_view::npos) return 1;
  }
  return 0;
}

bool is_maker_model(std::string_view model) {
  return model.size() >= 2 && std::tolower(static_cast<unsigned char>(model[0])) == 'c' &&
         std::tolower(static_cast<unsigned char>(model[1])) == 'v';
}

const char* name_scope_value(bool maker) {
  return maker ? "Corvane" : "OLM";
}

std::array<std::string, 6> fixed_scopes(std::string_view model) {
  const std::string p = kScopePrefix;
  return {p + "Profile/Streaming",
          p + "type/video_encoder",
          p + "type/audio_encoder",
          p + "location/usa",
          p + "hardware/" + std::string(model),
          p + "name/" + name_scope_value(is_maker_model(model))};
}

std::vector<std::string> camera_scopes(std::string_view model) {
  std::array<std::string, 6> fixed = fixed_scopes(model);
  std::vector<std::string> scopes(fixed.begin(), fixed.end());
  for (std::string& user : user_scope_list()) scopes.push_back(std::move(user));
  return scopes;
}

std::string scope_list_text(std::string_view model, std::string_view user_scopes) {
  std::string text;
  for (const std::string& scope : fixed_scopes(model)) {
    if (!text.empty()) text += ' ';
    text += xml_safe(scope);
  }
  text += user_scopes;
  text += ' ';
  return text;
}

}  // namespace nvtd
