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

// Where the search is; the progress lines print the number. Each move is printed with the state
// the previous measurement left, and the last line with the final state.
enum class AutofocusState {
  kStart = 0,  // the first measurement, before any move
  // Coarse search: 120-step moves until the focus value changes clearly.
  kCoarseFar = 1,   // moving far, no clear change yet
  kCoarseNear = 2,  // moving near, no clear change yet
  // Widening: double steps on a low-contrast picture, or a longer sweep the other way once a
  // sweep came to its end.
  kCoarseWiden = 3,
  kCoarseFellTurned = 10,       // a clear fall: turned round to approach the other way
  kCoarseRose = 11,             // a clear rise: approaching on in the same direction
  kCoarseBelowPeakTurned = 12,  // no clear change but below the peak seen: turned round
  // Approach: single 120-step moves until the peak is passed.
  kApproachRetracing = 21,    // after the coarse turn, back over ground seen, little change
  kApproachReachedPeak = 24,  // within 2% of the peak for the first time
  kApproachClimbing = 25,     // not yet near the peak
  kApproachOverPeak = 26,     // near the peak, not yet 5% below it
  kApproachPassedPeak = 30,   // 5% below the peak after being near it: turned back
  kApproachFellTurned = 31,   // a clear fall: turned back
  kApproachLevelTurned = 32,  // level but below the peak: turned back
  // Fine search: 20-step moves back toward the peak, then smaller ones until it is passed.
  kFineStepping = 40,        // stepping on
  kFineFirstSteps = 41,      // the first two 20-step moves
  kFineSmallSteps = 42,      // close enough: switched to the small steps
  kDoneHighContrast = 50,    // done: the value stopped rising, contrast above 1000
  kDoneMediumContrast = 51,  // done: the value stopped rising, contrast 251 to 1000
  kDoneLowContrast = 52,     // done: the value fell, contrast 250 or less
  kGaveUpCoarse = 60,        // three sweeps without a clear change
  kGaveUpApproach = 61,      // 26 approach moves without passing the peak
  kGaveUpFine = 62,          // 31 fine moves without passing the peak
};

// The number a progress line prints for a state.
constexpr int state_number(AutofocusState state) {
  return static_cast<int>(state);
}

struct AutofocusResult {
  AutofocusState state = AutofocusState::kStart;  // kDone* or kGaveUp*
  int64_t position = 0;                           // signed sum of the steps moved
  int moves = 0;
};

AutofocusResult autofocus_search(FocusRig& rig, bool verbose);

// "autofocus" and "vautofocus": the search on the lens behind expander and "/dev/iav".
void run_autofocus(Expander& expander, bool verbose);

}  // namespace lensctl
