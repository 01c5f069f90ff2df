// The three-phase autofocus search.
#include "lensctl/autofocus.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "imagelib/platform/device.h"
#include "lensctl/motor.h"

namespace lensctl {

namespace {

using State = AutofocusState;

constexpr int kCoarseStep = 120;

class Search {
 public:
  Search(FocusRig& rig, bool verbose) : rig_(rig), verbose_(verbose) {}

  AutofocusResult run() {
    rig_.measure(&sample_);
    previous_ = peak_ = sample_.value;
    ratio_ = 1000;
    if (verbose_) progress(0, State::kStart, 0, sample_.value, 0, sample_.value, 1000);
    if (coarse() && approach()) fine();
    finish();
    return {state_, position_, moves_};
  }

 private:
  // One move and the measurement after it.
  void step(int steps, int count) {
    const int result = rig_.move(steps, count);
    ++moves_;
    if (result == -1) {
      char line[64];
      snprintf(line, sizeof line, "microfocus returned %d\n", result);
      rig_.print(line);
    } else {
      position_ += static_cast<int64_t>(steps) * count;
    }
    rig_.measure(&sample_);
    change_ = focus_change(sample_.value, previous_);
    ratio_ = focus_ratio(sample_.value, peak_);
    previous_ = sample_.value;
    if (verbose_) progress(position_, state_, direction_, sample_.value, change_, peak_, ratio_);
    peak_ = std::max(peak_, sample_.value);
  }

  void progress(int64_t position, State state, int direction, int32_t value, int64_t change,
                int32_t peak, int64_t ratio) {
    char line[160];
    snprintf(line, sizeof line, "%" PRId64 ",%d,%d,%d,%d,%" PRId64 ",%d,%" PRId64 "\n", position,
             state_number(state), direction, value, sample_.contrast, change, peak, ratio);
    rig_.print(line);
  }

  bool give_up(State state) {
    rig_.print("didn't find change, giving up\n");
    state_ = state;
    return false;
  }

  void reverse() { direction_ = -direction_; }

  // Phase 1; false when it gave up.
  bool coarse() {
    int multiplier = 1, limit = 20, i = 0, j = 0;
    for (;;) {
      step(kCoarseStep * direction_, multiplier);
      state_ = direction_ == 1 ? State::kCoarseFar : State::kCoarseNear;
      if (std::llabs(change_) > 49) {
        if (change_ < 0) {
          reverse();
          reversed_ = true;
          state_ = State::kCoarseFellTurned;
        } else {
          state_ = State::kCoarseRose;
        }
        return true;
      }
      if (i > 3 && j == 0) {
        if (sample_.contrast < 200) {
          multiplier = 2;
          state_ = State::kCoarseWiden;
        } else if (ratio_ < 1000) {
          reverse();
          reversed_ = true;
          state_ = State::kCoarseBelowPeakTurned;
          return true;
        }
      }
      ++i;
      if (i > limit) {
        ++j;
        if (j > 2) return give_up(State::kGaveUpCoarse);
        reverse();
        limit = 40;
        i = 0;
        state_ = State::kCoarseWiden;
      }
    }
  }

  // Phase 2; false when it gave up.
  bool approach() {
    bool near_peak = false;
    for (int k = 0;; ++k) {
      step(kCoarseStep * direction_, 1);
      const bool high = ratio_ > 980;
      if (reversed_ && !high && std::llabs(change_) <= 50) {
        state_ = State::kApproachRetracing;
      } else if (k > 3 && ratio_ < 1000 && change_ >= -49 && change_ <= 49) {
        reverse();
        state_ = State::kApproachLevelTurned;
        return true;
      } else {
        reversed_ = false;
        if (near_peak) {
          if (ratio_ < 951) {
            reverse();
            state_ = State::kApproachPassedPeak;
            return true;
          }
          state_ = State::kApproachOverPeak;
        } else if (high) {
          near_peak = true;
          state_ = State::kApproachReachedPeak;
        } else if (change_ < -50) {
          reverse();
          state_ = State::kApproachFellTurned;
          return true;
        } else {
          state_ = State::kApproachClimbing;
        }
      }
      if (k == 25) return give_up(State::kGaveUpApproach);
    }
  }

  // Phase 3.
  void fine() {
    const int64_t half = (ratio_ + 1000) / 2;
    int step_size = 20;
    bool fine = false;
    int64_t best_change = 0, threshold = 0;
    for (int n = 0;; ++n) {
      step(step_size * direction_, 1);
      if (fine) {
        if (sample_.contrast > 1000) {
          state_ = change_ <= threshold ? State::kDoneHighContrast : State::kFineStepping;
        } else if (sample_.contrast > 250) {
          state_ = change_ <= 0 ? State::kDoneMediumContrast : State::kFineStepping;
        } else {
          state_ = change_ < 0 ? State::kDoneLowContrast : State::kFineStepping;
        }
        if (state_ != State::kFineStepping) return;
      } else {
        best_change = std::max(best_change, change_);
        if (n < 2) {
          state_ = State::kFineFirstSteps;
        } else if (ratio_ < half) {
          state_ = State::kFineStepping;
        } else {
          state_ = State::kFineSmallSteps;
          fine = true;
          const FineStep next = fine_step_for(best_change);
          step_size = next.step;
          threshold = next.threshold;
        }
      }
      if (n == 30) {
        give_up(State::kGaveUpFine);
        return;
      }
    }
  }

  void finish() {
    rig_.measure(&sample_);
    if (verbose_) progress(position_, state_, direction_, sample_.value, change_, peak_, ratio_);
  }

  FocusRig& rig_;
  const bool verbose_;
  FocusSample sample_;
  int64_t position_ = 0;
  int direction_ = 1;
  State state_ = State::kStart;
  int32_t previous_ = 0;
  int32_t peak_ = 0;
  int64_t change_ = 0;
  int64_t ratio_ = 1000;
  bool reversed_ = false;
  int moves_ = 0;
};

// The lens itself: motor moves through the expander, samples from the driver.
class LensRig : public FocusRig {
 public:
  LensRig(Expander& expander, FocusMeter& meter) : expander_(expander), meter_(meter) {}
  int move(int steps, int count) override {
    const auto n = static_cast<uint8_t>(std::abs(steps));
    const auto c = static_cast<uint8_t>(count);
    return steps > 0 ? far_move(expander_, n, c) : near_move(expander_, n, c);
  }
  void measure(FocusSample* sample) override { meter_.measure(sample); }
  void print(const std::string& text) override { fputs(text.c_str(), stdout); }

 private:
  Expander& expander_;
  FocusMeter& meter_;
};

}  // namespace

int64_t focus_change(int64_t value, int64_t previous) {
  if (value == 0 || previous == 0) return 0;
  return (value - previous) * 1000 / value;
}

int64_t focus_ratio(int64_t value, int64_t peak) {
  if (peak == 0) return 1000;
  return value * 1000 / peak;
}

FineStep fine_step_for(int64_t best_change) {
  const int64_t step = std::max<int64_t>(12 - best_change / 25, 4);
  return {static_cast<int>(std::min<int64_t>(step, 12)), best_change / 100 + 1};
}

AutofocusResult autofocus_search(FocusRig& rig, bool verbose) {
  return Search(rig, verbose).run();
}

void run_autofocus(Expander& expander, bool verbose) {
  platform::DeviceFd iav(open_statistics());
  if (iav.get() < 0) return;
  FocusMeter meter(iav.get(), verbose);
  LensRig rig(expander, meter);
  autofocus_search(rig, verbose);
}

}  // namespace lensctl
