// Focus jobs with a stand-in lensctl that logs its arguments and takes its time: the runs a
// job makes, one job at a time, a stop that ends a continuous move, and the autofocus busy.
#include "nvtd/imaging/focus_jobs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace nvtd {
namespace {

class FocusJobs : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/focusjobs.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    place_.lock_path = dir_ + "/lock";
    place_.lensctl = dir_ + "/lensctl";
    std::ofstream script(place_.lensctl);
    script << "#!/bin/sh\necho \"$*\" >> " << dir_ << "/log\n"
           << "[ \"$1\" = autofocus ] && sleep 3\nsleep 0.02\n";
    script.close();
    chmod(place_.lensctl.c_str(), 0755);
  }
  void TearDown() override {
    wait_idle();
    std::system(("rm -rf " + dir_).c_str());
  }
  bool wait_idle() {
    for (int i = 0; i < 200; ++i) {  // at most ten seconds
      if (focus_activity(place_) == FocusActivity::kIdle) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  std::string log() {
    std::ifstream in(dir_ + "/log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string dir_;
  FocusPlace place_;
};

TEST(FocusJobRuns, LongMovesSplitIntoRunsLensctlTakes) {
  using Runs = std::vector<std::vector<std::string>>;
  EXPECT_EQ(lensctl_runs({FocusJobKind::kRelative, 40, 0}), (Runs{{"focusstepfar", "40", "1"}}));
  EXPECT_EQ(lensctl_runs({FocusJobKind::kRelative, -450, 0}),
            (Runs{{"focusstepnear", "200", "2"}, {"focusstepnear", "50", "1"}}));
  EXPECT_EQ(lensctl_runs({FocusJobKind::kRelative, 2000, 0}),
            (Runs{{"focusstepfar", "200", "10"}}));
  EXPECT_TRUE(lensctl_runs({FocusJobKind::kRelative, 0, 0}).empty());
  EXPECT_EQ(lensctl_runs({FocusJobKind::kContinuous, 0, -0.5}),
            (Runs{{"focusstepnear", "20", "1"}}));
  EXPECT_EQ(lensctl_runs({FocusJobKind::kAutofocus, 0, 0}), (Runs{{"autofocus"}}));
  EXPECT_EQ(chunk_pause_us(1.0), 0);
  EXPECT_EQ(chunk_pause_us(-0.5), 50000);
  EXPECT_EQ(chunk_pause_us(0.001), 1000000);
}

TEST_F(FocusJobs, ARelativeMoveRunsBesideTheCallerAndEnds) {
  ASSERT_EQ(start_focus_job({FocusJobKind::kRelative, -450, 0}, place_), 0);
  ASSERT_TRUE(wait_idle());
  EXPECT_EQ(log(), "focusstepnear 200 2\nfocusstepnear 50 1\n");
}

TEST_F(FocusJobs, AnAutofocusRefusesOtherJobsAndAStopLeavesItRunning) {
  ASSERT_EQ(start_focus_job({FocusJobKind::kAutofocus, 0, 0}, place_), 0);
  // Never anything else while the job writes its record (it did read as a move in between).
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (std::chrono::steady_clock::now() < until) {
    ASSERT_EQ(focus_activity(place_), FocusActivity::kAutofocus);
  }
  EXPECT_EQ(start_focus_job({FocusJobKind::kRelative, 8, 0}, place_), 1);
  EXPECT_EQ(stop_focus_move(place_), -1);
  EXPECT_EQ(focus_activity(place_), FocusActivity::kAutofocus);
  ASSERT_TRUE(wait_idle());
  EXPECT_EQ(log(), "autofocus\n");
}

TEST_F(FocusJobs, AStopEndsAContinuousMove) {
  ASSERT_EQ(start_focus_job({FocusJobKind::kContinuous, 0, 1.0}, place_), 0);
  for (int i = 0; i < 100 && log().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(focus_activity(place_), FocusActivity::kMoving);
  EXPECT_EQ(stop_focus_move(place_), 0);
  ASSERT_TRUE(wait_idle());
  std::string runs = log();
  // Stopped well before its hundred chunks.
  EXPECT_LT(std::count(runs.begin(), runs.end(), '\n'), 60) << runs;
  EXPECT_EQ(runs.rfind("focusstepfar 20 1\n", 0), 0u) << runs;
}

}  // namespace
}  // namespace nvtd
