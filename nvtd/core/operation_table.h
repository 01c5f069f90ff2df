// The one ordered table of every operation nvtd answers, assembled from the rooms' slices.
// A name is searched as a substring of the action text and the first entry found wins, so
// an entry stands before every entry whose name its own contains.
#pragma once

#include <initializer_list>
#include <string_view>
#include <vector>

#include "nvtd/core/operation.h"

namespace nvtd {

class OperationTable {
 public:
  OperationTable() = default;
  // Keeps each slice's order and the slices' order, except that an entry moves before the
  // first entry whose name it contains.
  explicit OperationTable(std::initializer_list<OperationSlice> slices);

  // The first substring entry whose name occurs in action_text; failing that, the first
  // whole-word entry; nullptr when neither matches.
  const Operation* find(std::string_view action_text) const;

  const std::vector<Operation>& entries() const { return entries_; }

 private:
  std::vector<Operation> entries_;
};

}  // namespace nvtd
