// The forced filter mode: state values, the file in a directory, and the step that holds a
// side from either side.
#include "irswitchd/forced_mode.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "common/state_file.h"

namespace irswitchd {
namespace {

TEST(ForcedMode, ValuesAndTheFile) {
  EXPECT_EQ(forced_mode_from("day"), ForcedMode::kDay);
  EXPECT_EQ(forced_mode_from("night"), ForcedMode::kNight);
  for (const char* other : {"auto", "", "Night", "on"}) {
    EXPECT_EQ(forced_mode_from(other), ForcedMode::kAuto) << other;
  }
  char dir[] = "/tmp/forcedmode.XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  EXPECT_EQ(read_forced_mode(dir), ForcedMode::kAuto);  // no file
  ASSERT_EQ(camera_state::write(dir, camera_state::kIrCutMode, "night"), 0);
  EXPECT_EQ(read_forced_mode(dir), ForcedMode::kNight);
  ASSERT_EQ(camera_state::write(dir, camera_state::kIrCutMode, "auto"), 0);
  EXPECT_EQ(read_forced_mode(dir), ForcedMode::kAuto);
  ASSERT_EQ(camera_state::write(dir, camera_state::kIrCutMode, "day"), 0);
  EXPECT_EQ(read_forced_mode(dir), ForcedMode::kDay);
  chmod(dir, 0777);  // anyone could have put the file there
  EXPECT_EQ(read_forced_mode(dir), ForcedMode::kAuto);
  std::system((std::string("rm -rf ") + dir).c_str());
}

TEST(ForcedMode, StepSwitchesOnceThenHoldsAndReasserts) {
  using A = DayNightAction;
  struct Case {
    bool is_day;
    ForcedMode mode;
    int32_t hold;
    A expected;
    bool is_day_after;
    int32_t hold_after;
  } cases[] = {
      {true, ForcedMode::kNight, 57, A::kToNight, false, 0},
      {false, ForcedMode::kDay, 3, A::kToDay, true, 0},
      {false, ForcedMode::kNight, 10, A::kNone, false, 11},
      {true, ForcedMode::kDay, kHoldLimit, A::kNone, true, kHoldLimit + 1},
      {true, ForcedMode::kDay, kHoldLimit + 1, A::kReassertDay, true, 0},
      {false, ForcedMode::kNight, kHoldLimit + 1, A::kReassertNight, false, 0},
  };
  for (const Case& c : cases) {
    DayNightState s;
    s.is_day = c.is_day;
    s.hold = c.hold;
    s.toward_day = 5;
    s.toward_night = 6;
    EXPECT_EQ(forced_step(&s, c.mode), c.expected) << c.hold;
    EXPECT_EQ(s.is_day, c.is_day_after);
    EXPECT_EQ(s.hold, c.hold_after);
    // A count toward a switch does not survive a forced second.
    EXPECT_EQ(s.toward_day + s.toward_night, 0);
  }
}

}  // namespace
}  // namespace irswitchd
