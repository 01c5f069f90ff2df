#include "common/state_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

class StateFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/state_file_test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    base_ = pattern;
    dir_ = base_ + "/state";
  }
  void TearDown() override { std::system(("rm -rf '" + base_ + "'").c_str()); }
  std::string base_, dir_;
};

TEST_F(StateFile, AWrittenValueReadsBackWholeAndLeavesNoTemporary) {
  ASSERT_EQ(camera_state::write(dir_, "motion", "true"), 0);
  ASSERT_EQ(camera_state::write(dir_, "motion", "false"), 0);
  std::string value;
  ASSERT_EQ(camera_state::read(dir_, "motion", &value), 0);
  EXPECT_EQ(value, "false");
  struct stat st {};
  ASSERT_EQ(::stat(dir_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  EXPECT_EQ(std::system(("test -z \"$(ls -A '" + dir_ + "' | grep -v '^motion$')\"").c_str()), 0);
}

TEST_F(StateFile, RefusesWhatIsNotASmallRegularFileOrABadName) {
  ASSERT_EQ(camera_state::ensure_directory(dir_), 0);
  std::ofstream(dir_ + "/big") << std::string(camera_state::kValueMax + 1, 'x');
  ASSERT_EQ(::symlink("/etc/hostname", (dir_ + "/link").c_str()), 0);
  ASSERT_EQ(::mkdir((dir_ + "/sub").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo((dir_ + "/fifo").c_str(), 0644), 0);  // read without waiting for a writer
  std::string value;
  for (const char* name : {"big", "link", "sub", "fifo", "missing", "../state/big", "Motion", ""})
    EXPECT_EQ(camera_state::read(dir_, name, &value), -1) << name;
  EXPECT_EQ(camera_state::write(dir_, "a/b", "true"), -1);
  EXPECT_EQ(camera_state::write(dir_, "motion", std::string(camera_state::kValueMax, 'x')), -1);
}

// Only the owner may write the directory: one its group or others may write is used by no
// reader or writer, nor one that is a link.
TEST_F(StateFile, ADirectoryOthersOrItsGroupMayWriteOrALinkIsRefused) {
  struct Case {
    mode_t mode;
    bool link;
    int result;
  };
  for (const Case& c : {Case{0777, false, -1}, Case{0775, false, -1}, Case{0770, false, -1},
                        Case{0755, true, -1}, Case{0755, false, 0}, Case{0700, false, 0}}) {
    std::system(("rm -rf '" + dir_ + "' '" + base_ + "/real'").c_str());
    const std::string real = c.link ? base_ + "/real" : dir_;
    ASSERT_EQ(::mkdir(real.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(real.c_str(), c.mode), 0);
    std::ofstream(real + "/daynight") << "night\n";
    if (c.link) {
      ASSERT_EQ(::symlink(real.c_str(), dir_.c_str()), 0);
    }
    std::string value;
    EXPECT_EQ(camera_state::read(dir_, camera_state::kDayNight, &value), c.result) << c.mode;
    EXPECT_EQ(camera_state::write(dir_, camera_state::kMotion, "true"), c.result) << c.mode;
  }
}

}  // namespace
