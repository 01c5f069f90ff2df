// Assembly of the operation table and the search of an action text.
#include "nvtd/core/operation_table.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace nvtd {
namespace {

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

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

OperationTable::OperationTable(std::initializer_list<OperationSlice> slices) {
  for (const OperationSlice& slice : slices) {
    for (const Operation& op : slice) {
      // Before the first entry it would otherwise be shadowed by. Every entry that contains
      // this name contains that entry's name too, so it already stands earlier.
      auto shadow = std::find_if(entries_.begin(), entries_.end(), [&op](const Operation& e) {
        return op.match == NameMatch::kSubstring && e.match == NameMatch::kSubstring &&
               contains(op.name, e.name) && std::strcmp(op.name, e.name) != 0;
      });
      entries_.insert(shadow, op);
    }
  }
}

const Operation* OperationTable::search(std::string_view action_text, Service service,
                                        bool other_than) const {
  for (NameMatch match : {NameMatch::kSubstring, NameMatch::kWholeWord}) {
    for (const Operation& op : entries_) {
      if (op.match != match || (op.service == service) == other_than) continue;
      if (match == NameMatch::kSubstring ? contains(action_text, op.name)
                                         : contains_word(action_text, op.name))
        return &op;
    }
  }
  return nullptr;
}

const Operation* OperationTable::find(std::string_view action_text, SearchScope scope) const {
  if (scope.service) return search(action_text, *scope.service, false);
  if (scope.media2_address) {
    if (const Operation* op = search(action_text, Service::kMedia2, false)) return op;
  }
  return search(action_text, Service::kMedia2, true);
}

}  // namespace nvtd
