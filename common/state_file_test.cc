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
  std::string value;
  for (const char* name : {"big", "link", "sub", "missing", "../state/big", "Motion", ""})
    EXPECT_EQ(camera_state::read(dir_, name, &value), -1) << name;
  EXPECT_EQ(camera_state::write(dir_, "a/b", "true"), -1);
  EXPECT_EQ(camera_state::write(dir_, "motion", std::string(camera_state::kValueMax, 'x')), -1);
}

TEST_F(StateFile, ADirectoryOthersMayWriteIsRefused) {
  ASSERT_EQ(::mkdir(dir_.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
  EXPECT_EQ(camera_state::write(dir_, "motion", "true"), -1);
}

}  // namespace
