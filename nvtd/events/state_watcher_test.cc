// The camera state directory as nvtd reads it: states, what is ignored, refused directories
// and changes seen as they happen.
#include "nvtd/events/state_watcher.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "common/state_file.h"

namespace nvtd {
namespace {

class StateDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/states-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
  void put(const std::string& name, const std::string& text) {
    std::ofstream(dir_ + "/" + name) << text;
  }
  std::string dir_;
};

TEST_F(StateDirectory, SmallRegularFilesWithStateNamesOnly) {
  put("motion", "true\n");
  put("daynight", " night ");
  put("Bad_Name", "x");
  put(".motion.tmp", "false");
  put("big", std::string(camera_state::kValueMax + 1, 'x'));
  put("target", "true");
  ASSERT_EQ(symlink((dir_ + "/target").c_str(), (dir_ + "/linked").c_str()), 0);
  ASSERT_EQ(mkfifo((dir_ + "/fifo").c_str(), 0644), 0);
  ASSERT_EQ(mkdir((dir_ + "/sub").c_str(), 0755), 0);
  StateWatcher watcher(dir_);
  EXPECT_EQ(watcher.scan(),
            (StateMap{{"daynight", "night"}, {"motion", "true"}, {"target", "true"}}));
  ASSERT_EQ(chmod(dir_.c_str(), 0777), 0);  // others may write: refused
  EXPECT_TRUE(watcher.scan().empty());
  EXPECT_TRUE(StateWatcher(dir_ + "/missing").scan().empty());
}

TEST_F(StateDirectory, RenamedStatesAreSeenAndRemovedOnesClear) {
  StateWatcher watcher(dir_);
  EXPECT_TRUE(watcher.watching());
  ASSERT_EQ(camera_state::write(dir_, "motion", "true"), 0);
  std::vector<StateChange> changes;
  for (int i = 0; i < 10 && changes.empty(); ++i) changes = watcher.wait_for_changes(-1, 1000);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].name, "motion");
  EXPECT_EQ(changes[0].value, "true");
  EXPECT_TRUE(watcher.wait_for_changes(-1, 10).empty());
  ASSERT_EQ(unlink((dir_ + "/motion").c_str()), 0);
  changes = watcher.wait_for_changes(-1, 1000);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].value, "");
}

}  // namespace
}  // namespace nvtd
