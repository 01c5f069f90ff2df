// The autofocus search on model lenses: every decision is taken on scripted focus values.
#include "lensctl/autofocus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <vector>

namespace lensctl {
namespace {

struct Move {
  int steps;
  int count;
};

// A model lens: the focus value is a function of the position the moves add up to.
class ModelRig : public FocusRig {
 public:
  explicit ModelRig(std::function<FocusSample(int64_t)> curve) : curve_(std::move(curve)) {}
  int move(int steps, int count) override {
    moves.push_back({steps, count});
    if (fail_move == static_cast<int>(moves.size())) return -1;
    position += static_cast<int64_t>(steps) * count;
    return 0;
  }
  void measure(FocusSample* sample) override { *sample = curve_(position); }
  void print(const std::string& text) override { lines.push_back(text); }

  std::vector<Move> moves;
  std::vector<std::string> lines;
  int64_t position = 0;
  int fail_move = 0;

 private:
  std::function<FocusSample(int64_t)> curve_;
};

FocusSample constant(int32_t value, int32_t contrast) {
  return {value, contrast};
}

// A peak of height top at true_focus, half height width steps away, on a floor.
std::function<FocusSample(int64_t)> peak_at(int64_t true_focus, double width, double top) {
  return [=](int64_t p) {
    const double off = static_cast<double>(p - true_focus) / width;
    const double v = top * (0.1 + 0.9 / (1 + off * off));
    return FocusSample{static_cast<int32_t>(v), static_cast<int32_t>(v / 400)};
  };
}

// The fields of a progress line.
std::vector<long long> fields(const std::string& line) {
  std::vector<long long> out;
  std::stringstream in(line);
  std::string item;
  while (std::getline(in, item, ',')) out.push_back(std::stoll(item));
  return out;
}

TEST(FocusArithmetic, ChangeAndRatioIn64Bits) {
  EXPECT_EQ(focus_change(20000000, 19000000), 50);
  EXPECT_EQ(focus_change(19000000, 20000000), -52);  // truncated toward zero
  EXPECT_EQ(focus_change(0, 5), 0);
  EXPECT_EQ(focus_change(5, 0), 0);
  EXPECT_EQ(focus_ratio(27000000, 13500000), 2000);
  EXPECT_EQ(focus_ratio(5, 0), 1000);
}

TEST(FocusArithmetic, FineStepFromTheBestChange) {
  EXPECT_EQ(fine_step_for(150).step, 6);
  EXPECT_EQ(fine_step_for(150).threshold, 2);
  EXPECT_EQ(fine_step_for(200).step, 4);
  EXPECT_EQ(fine_step_for(900).step, 4);
  EXPECT_EQ(fine_step_for(0).step, 12);
  EXPECT_EQ(fine_step_for(0).threshold, 1);
}

TEST(Autofocus, FlatFocusGivesUpAfterThreeSweeps) {
  ModelRig rig([](int64_t) { return constant(50000, 500); });
  const AutofocusResult result = autofocus_search(rig, false);
  EXPECT_EQ(result.state, AutofocusState::kGaveUpCoarse);
  ASSERT_EQ(rig.moves.size(), 21u + 41u + 41u);
  for (size_t i = 0; i < rig.moves.size(); ++i) {
    const int expected = i < 21 ? 120 : i < 62 ? -120 : 120;
    EXPECT_EQ(rig.moves[i].steps, expected) << "move " << i;
    EXPECT_EQ(rig.moves[i].count, 1);
  }
  EXPECT_EQ(rig.lines, std::vector<std::string>{"didn't find change, giving up\n"});
}

TEST(Autofocus, ClearFirstChangeChoosesTheApproachDirection) {
  // Values beyond 2 million: times 1000 they need 64 bits.
  ModelRig falling([](int64_t p) { return constant(p > 0 ? 18000000 : 20000000, 5000); });
  autofocus_search(falling, true);
  EXPECT_EQ(fields(falling.lines[2])[1], state_number(AutofocusState::kCoarseFellTurned));
  EXPECT_EQ(fields(falling.lines[2])[2], -1);  // reversed toward near

  ModelRig rising([](int64_t p) { return constant(p > 0 ? 22000000 : 20000000, 5000); });
  autofocus_search(rising, true);
  EXPECT_EQ(fields(rising.lines[1])[5], 90);  // (22M - 20M) x 1000 / 22M
  EXPECT_EQ(fields(rising.lines[2])[1], state_number(AutofocusState::kCoarseRose));
  EXPECT_EQ(fields(rising.lines[2])[2], 1);
}

TEST(Autofocus, PeakIsFoundFromEitherSide) {
  for (int64_t start : {-1500, -400, 0, 450, 1300}) {
    ModelRig rig(peak_at(600, 300, 8000000));
    rig.position = start;
    const AutofocusResult result = autofocus_search(rig, false);
    EXPECT_GE(result.state, AutofocusState::kDoneHighContrast) << "from " << start;
    EXPECT_LE(result.state, AutofocusState::kDoneLowContrast) << "from " << start;
    EXPECT_LE(std::abs(rig.position - 600), 40) << "from " << start;
    EXPECT_EQ(result.position, rig.position - start);
  }
}

TEST(Autofocus, VerboseLinesOnePerMovePlusFirstAndLast) {
  ModelRig quiet(peak_at(600, 300, 500000));
  const AutofocusResult result = autofocus_search(quiet, false);
  EXPECT_TRUE(quiet.lines.empty());
  ModelRig verbose(peak_at(600, 300, 500000));
  autofocus_search(verbose, true);
  ASSERT_EQ(verbose.lines.size(), static_cast<size_t>(result.moves) + 2);
  const auto first = fields(verbose.lines.front());
  EXPECT_EQ(first[0], 0);
  EXPECT_EQ(first[1], state_number(AutofocusState::kStart));
  EXPECT_EQ(first[5], 0);
  EXPECT_EQ(first[6], first[3]);
  EXPECT_EQ(first[7], 1000);
  EXPECT_EQ(fields(verbose.lines.back())[1], state_number(result.state));
}

TEST(Autofocus, FailedMoveIsReportedAndNotCounted) {
  ModelRig rig([](int64_t) { return constant(50000, 500); });
  rig.fail_move = 2;
  const AutofocusResult result = autofocus_search(rig, false);
  EXPECT_EQ(rig.lines.front(), "microfocus returned -1\n");
  EXPECT_EQ(result.position, rig.position);
  EXPECT_EQ(result.position, 21 * 120 - 120 - 41 * 120 + 41 * 120);
}

}  // namespace
}  // namespace lensctl
