// The event operations under their bare names (see event_actions.h).
#include "nvtd/events/event_actions.h"

#include <cctype>

namespace nvtd {
namespace {

struct BareName {
  const char* bare;
  const char* action;
};

// Longer names first, although whole-word matching already keeps them apart.
constexpr BareName kBareNames[] = {
    {"CreatePullPointSubscription", "CreatePullPointSubscriptionRequest"},
    {"PullMessages", "PullMessagesRequest"},
    {"Unsubscribe", "UnsubscribeRequest"},
    {"Subscribe", "SubscribeRequest"},
    {"Renew", "RenewRequest"},
};

bool word_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool contains_word(std::string_view text, std::string_view word) {
  for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
    size_t end = at + word.size();
    bool starts = at == 0 || !word_char(text[at - 1]);
    bool ends = end == text.size() || !word_char(text[end]);
    if (starts && ends) return true;
  }
  return false;
}

}  // namespace

const char* event_operation_for(std::string_view action_text) {
  for (const BareName& name : kBareNames) {
    if (contains_word(action_text, name.bare)) return name.action;
  }
  return nullptr;
}

}  // namespace nvtd
