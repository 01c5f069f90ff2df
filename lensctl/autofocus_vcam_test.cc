// "autofocus" and "vautofocus" on the virtual camera's lens: a normal focus curve from several
// start positions, a flat one and a low-contrast scene. Prints the table of results.
#include <cstdio>
#include <sstream>

#include "lensctl/autofocus.h"
#include "lensctl/vcam_fixture.h"

namespace lensctl {
namespace {

// The progress lines of a vautofocus run (eight comma-separated numbers).
std::vector<std::vector<long long>> progress_lines(const std::string& out) {
  std::vector<std::vector<long long>> lines;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<long long> f;
    std::istringstream fields(line);
    std::string item;
    while (std::getline(fields, item, ',')) f.push_back(std::strtoll(item.c_str(), nullptr, 10));
    if (f.size() == 8) lines.push_back(f);
  }
  return lines;
}

void start_at(int64_t position) {
  vcam::with_state([&](vcam::State& s) { s.focus = position; });
}

TEST_F(VcamTest, AutofocusEndsNearTheTrueFocusFromSeveralStarts) {
  write_file("optics", "true_focus=600\nwidth=300\nnoise=2\nslices=2\n");
  printf("start  final  true  moves  state\n");
  for (int64_t start : {-1200, -300, 0, 500, 700, 1500, 2400}) {
    start_at(start);
    std::string out;
    run({"vautofocus"}, &out);
    const auto lines = progress_lines(out);
    ASSERT_GE(lines.size(), 3u) << out;
    const long long state = lines.back()[1];
    const int64_t final_position = vcam::read_state().focus;
    printf("%5lld  %5lld  %4d  %5zu  %5lld\n", static_cast<long long>(start),
           static_cast<long long>(final_position), 600, lines.size() - 2, state);
    EXPECT_GE(state, state_number(AutofocusState::kDoneHighContrast)) << "from " << start;
    EXPECT_LE(state, state_number(AutofocusState::kDoneLowContrast)) << "from " << start;
    EXPECT_LE(std::llabs(final_position - 600), 36) << "from " << start;  // three fine steps
    EXPECT_EQ(out.rfind("tiles = 16x16 = 256\n", 0), 0u);
  }
}

TEST_F(VcamTest, AutofocusPrintsNothingWithoutV) {
  std::string out;
  run({"autofocus"}, &out);
  EXPECT_EQ(out, "");
}

TEST_F(VcamTest, FlatFocusGivesUpInTheCoarseSearch) {
  write_file("optics", "flat=1\nnoise=0\n");
  std::string out;
  run({"vautofocus"}, &out);
  const auto lines = progress_lines(out);
  ASSERT_EQ(lines.size(), 21u + 41 + 41 + 2);
  EXPECT_EQ(lines.back()[1], state_number(AutofocusState::kGaveUpCoarse));
  EXPECT_NE(out.find("didn't find change, giving up\n"), std::string::npos);
}

TEST_F(VcamTest, LowContrastDoublesTheCoarseStep) {
  write_file("optics", "flat=1\nnoise=0\ntexture_min=1000\ntexture_max=1100\n");
  std::string out;
  run({"vautofocus"}, &out);
  const auto lines = progress_lines(out);
  ASSERT_GT(lines.size(), 8u);
  for (size_t move = 1; move <= 7; ++move) {
    const long long moved = lines[move][0] - lines[move - 1][0];
    EXPECT_EQ(moved, move <= 5 ? 120 : 240) << "move " << move;
  }
  EXPECT_LT(lines[5][4], 200);  // the contrast seen at the fifth move
}

}  // namespace
}  // namespace lensctl
