// Contrast autofocus: a coarse search for a clear change of the focus value, an approach in
// large steps until the peak is passed, and a fine search back toward it with shrinking
// steps. The search runs over a FocusRig, so it can be driven by a model as well as the lens.
#pragma once

#include <cstdint>
#include <string>

#include "lensctl/expander.h"
#include "lensctl/focus_measure.h"

namespace lensctl {

// What the search moves and measures.
class FocusRig {
 public:
  virtual ~FocusRig() = default;
  // A far move of steps x count for steps > 0, a near move of -steps x count for steps < 0;
  // 0 or -1.
  virtual int move(int steps, int count) = 0;
  // A fresh measurement; a failed one leaves sample unchanged.
  virtual void measure(FocusSample* sample) = 0;
  // Progress and give-up lines.
  virtual void print(const std::string& text) = 0;
};

// Change in per mille: (value - previous) x 1000 / value, truncated; 0 when either is 0.
// Computed in 64 bits: a sharp bright scene's value times 1000 overflows 32 bits.
int64_t focus_change(int64_t value, int64_t previous);
// value x 1000 / peak in per mille; 1000 when the peak is 0.
int64_t focus_ratio(int64_t value, int64_t peak);

struct FineStep {
  int step;
  int64_t threshold;
};
// The fine step and done threshold for the best change seen before the switch to fine steps.
FineStep fine_step_for(int64_t best_change);

struct AutofocusResult {
  int state = 0;         // the final state: 50 to 52 done, 60 to 62 gave up
  int64_t position = 0;  // signed sum of the steps moved
  int moves = 0;
};

AutofocusResult autofocus_search(FocusRig& rig, bool verbose);

// "autofocus" and "vautofocus": the search on the lens behind expander and "/dev/iav".
void run_autofocus(Expander& expander, bool verbose);

}  // namespace lensctl
