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
// reader or writer, nor a link to a sound one (mode 01755 below).
TEST_F(StateFile, ADirectoryOthersOrItsGroupMayWriteOrALinkIsRefused) {
  for (mode_t mode : {0777, 0775, 0770, 01755, 0755, 0700}) {
    std::system(("rm -rf '" + dir_ + "' '" + base_ + "/real'").c_str());
    const std::string real = mode == 01755 ? base_ + "/real" : dir_;
    ASSERT_EQ(::mkdir(real.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(real.c_str(), mode & 0777), 0);
    std::ofstream(real + "/daynight") << "night\n";
    ASSERT_TRUE(real == dir_ || ::symlink(real.c_str(), dir_.c_str()) == 0);
    const int result = (mode & 01022) == 0 ? 0 : -1;
    std::string value;
    EXPECT_EQ(camera_state::read(dir_, camera_state::kDayNight, &value), result) << mode;
    EXPECT_EQ(camera_state::write(dir_, camera_state::kMotion, "true"), result) << mode;
  }
}

// The writer under the state files: the mode asked for whatever the mask; a link at the target
// replaced, not followed; a failed replacement leaves the target and no temporary file.
TEST_F(StateFile, TheWholeFileWriterKeepsItsModeAndLeavesNothingBehind) {
  const std::string f = base_ + "/f", d = base_ + "/d";
  ASSERT_EQ(::symlink("d", f.c_str()), 0);
  ASSERT_EQ(::mkdir(d.c_str(), 0755), 0);
  const mode_t mask = ::umask(0);
  for (mode_t mode : {0600, 0644}) {
    ASSERT_TRUE(atomic_file::replace(f, "new\n", mode));
    struct stat st {};
    ASSERT_EQ(::lstat(f.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode) && (st.st_mode & 07777) == mode) << st.st_mode;
  }
  ::umask(mask);
  EXPECT_FALSE(atomic_file::replace(d, "x\n", 0644));  // a rename over a folder fails
  atomic_file::Replacement(base_ + "/g", 0644).write("dropped\n");
  const std::string listing = "test \"$(ls -A " + base_ + " | tr '\\n' ' ')\" = 'd f '";
  EXPECT_EQ(std::system((listing + " && grep -qx new " + f).c_str()), 0);
}

}  // namespace
