// The one ordered table of every operation nvtd answers, assembled from the rooms' slices.
// A name is searched as a substring of the action text among the entries a search may reach
// (by the service of the request's namespace, or by its address) and the first entry found
// wins, so an entry stands before every entry whose name its own contains.
#pragma once

#include <initializer_list>
#include <optional>
#include <string_view>
#include <vector>

#include "nvtd/core/operation.h"

namespace nvtd {

// Which entries a search reaches. With the service of the request's namespace known, that
// service's entries alone. Without it, every entry but Media2's: those are reached by their
// names alone only in a request sent to the Media2 address, and then before all others.
struct SearchScope {
  std::optional<Service> service;
  bool media2_address = false;
};

class OperationTable {
 public:
  OperationTable() = default;
  // Keeps each slice's order and the slices' order, except that an entry moves before the
  // first entry whose (shorter) name it contains.
  explicit OperationTable(std::initializer_list<OperationSlice> slices);

  // The first substring entry in scope whose name occurs in action_text; failing that, the
  // first whole-word entry in scope; nullptr when neither matches.
  const Operation* find(std::string_view action_text, SearchScope scope = {}) const;

  const std::vector<Operation>& entries() const { return entries_; }

 private:
  // find() among the entries of `service`, or with other_than among all others.
  const Operation* search(std::string_view action_text, Service service, bool other_than) const;

  std::vector<Operation> entries_;
};

}  // namespace nvtd
