// lensctl commands on the virtual camera: the exact register writes, the cuts, the usage.
#include <vector>

#include "lensctl/vcam_fixture.h"

namespace lensctl {
namespace {

std::vector<int> register1_values(const std::vector<Write>& writes) {
  std::vector<int> values;
  for (const Write& w : writes) {
    if (w.reg == 1) values.push_back(w.value);
  }
  return values;
}

TEST_F(VcamTest, FocusStepNearWritesThirtyPhasesThenIdle) {
  EXPECT_EQ(run({"focusstepnear", "10", "3"}), 0);
  const auto all = writes();
  ASSERT_EQ(all.size(), 32u);
  EXPECT_EQ(all[0].reg, 3);
  EXPECT_EQ(all[0].value, 0xC0);
  const int near[4] = {0x39, 0x3A, 0x36, 0x35};
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(all[1 + i].reg, 1);
    EXPECT_EQ(all[1 + i].value, near[i % 4]) << "phase " << i;
    EXPECT_EQ(all[1 + i].time_us, i * 2500LL);  // paced 2500 us apart
  }
  EXPECT_EQ(all[31].value, 0xFF);
  EXPECT_EQ(vcam::read_state().focus, -30);
}

TEST_F(VcamTest, LensPositionOutlivesTheRun) {
  run({"focusstepnear", "10", "3"});
  run({"focusstepnear", "10", "3"});
  // The first run stopped on 0x3A; the second begins on 0x39, which pulls one step back.
  EXPECT_EQ(vcam::read_state().focus, -58);
  run({"focusfar"});
  EXPECT_EQ(register1_values(writes()).size(), 30u + 1 + 30 + 1 + 120 + 1);
}

TEST_F(VcamTest, ZeroStepsWriteOnlyIdle) {
  run({"focusstepfar", "0", "5"});
  EXPECT_EQ(register1_values(writes()), std::vector<int>{0xFF});
}

TEST_F(VcamTest, StepsAreCutToEightBits) {
  run({"focusstepnear", "300", "1"});
  EXPECT_EQ(register1_values(writes()).size(), 44u + 1);
  EXPECT_EQ(vcam::read_state().focus, -44);
}

TEST_F(VcamTest, IrNightPulsesForOneSecond) {
  EXPECT_EQ(run({"irnight"}), 0);
  const auto all = writes();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].reg, 3);
  EXPECT_EQ(all[1].value, 0x1F);
  EXPECT_EQ(all[2].value, 0xFF);
  EXPECT_EQ(all[2].time_us - all[1].time_us, 1000000);
  EXPECT_EQ(vcam::read_state().filter, vcam::Filter::kNight);
  run({"irday"});
  EXPECT_EQ(register1_values(writes()).back(), 0xFF);
  EXPECT_EQ(vcam::read_state().filter, vcam::Filter::kDay);
}

TEST_F(VcamTest, WriteCommandAndZoomCommands) {
  run({"write", "1", "255"});
  run({"write", "3", "192"});
  run({"zoomin"});
  run({"zoomstepout", "4", "4"});
  const auto all = writes();
  ASSERT_EQ(all.size(), 6u);
  EXPECT_EQ(all[1].reg, 1);
  EXPECT_EQ(all[1].value, 0xFF);
  EXPECT_EQ(all[3].reg, 3);
  EXPECT_EQ(all[3].value, 0xC0);
  EXPECT_EQ(all[4].reg, 3);  // zoom commands only set the expander up
  EXPECT_EQ(all[5].reg, 3);
}

TEST_F(VcamTest, UsageErrors) {
  std::string out;
  std::vector<std::string> none;
  EXPECT_EQ(run(none, &out), 1);
  EXPECT_EQ(out.rfind("usage: lensctl\n\tzoomin\n", 0), 0u);
  EXPECT_NE(out.find("\twrite <addr> <data>\n"), std::string::npos);
  EXPECT_EQ(run({"focusstepnear", "10"}, &out), 1);
  EXPECT_EQ(run({"write"}, &out), 1);
  EXPECT_EQ(run({"focusstepnear", "-1", "3"}, &out), 1);
  EXPECT_EQ(run({"focusstepfar", "10", "many"}, &out), 1);
  EXPECT_EQ(out.rfind("usage: lensctl\n", 0), 0u);
  EXPECT_TRUE(writes().empty());  // nothing was touched
  EXPECT_EQ(run({"spin"}, &out), 0);
  EXPECT_EQ(out, "unknown command spin\n");
  EXPECT_EQ(writes().size(), 1u);
}

TEST_F(VcamTest, MissingBusIsReportedAndTheRunEnds) {
  write_file("optics", "i2c_absent=1\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(run({"irday"}), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("open: ", 0), 0u) << err;
  EXPECT_NE(err.find("Error: Unable to set 7-bit address mode\n: "), std::string::npos);
  EXPECT_NE(err.find("Error: Unable to set slave address!\n: "), std::string::npos);
  EXPECT_NE(err.find("Error: Unable to write i2c!\n: "), std::string::npos);
  EXPECT_TRUE(writes().empty());
}

}  // namespace
}  // namespace lensctl
