#include "common/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/atomic_file_test.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string text(const std::string& name) {
    std::ifstream in(dir_ + "/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The names in the folder besides the ones given.
  int others(const std::string& except) {
    return std::system(
        ("test -z \"$(ls -A '" + dir_ + "' | grep -Ev '^(" + except + ")$')\"").c_str());
  }
  std::string dir_;
};

TEST_F(AtomicFile, ReplacesWholeWithTheModeGivenWhateverTheMask) {
  const mode_t mask = ::umask(0);
  for (mode_t mode : {0600, 0644}) {
    ASSERT_TRUE(atomic_file::replace(dir_ + "/f", "one\n", mode));
    ASSERT_TRUE(atomic_file::replace(dir_ + "/f", "two\n", mode));
    struct stat st {};
    ASSERT_EQ(::lstat((dir_ + "/f").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
    EXPECT_EQ(text("f"), "two\n");
  }
  ::umask(mask);
  EXPECT_EQ(others("f"), 0);
}

TEST_F(AtomicFile, ALinkAtTheTargetIsReplacedNotFollowed) {
  std::ofstream(dir_ + "/elsewhere") << "kept\n";
  ASSERT_EQ(::symlink((dir_ + "/elsewhere").c_str(), (dir_ + "/f").c_str()), 0);
  ASSERT_TRUE(atomic_file::replace(dir_ + "/f", "new\n", 0644));
  struct stat st {};
  ASSERT_EQ(::lstat((dir_ + "/f").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(text("elsewhere"), "kept\n");
}

TEST_F(AtomicFile, AFailureLeavesTheTargetAndNoTemporaryFile) {
  ASSERT_EQ(::mkdir((dir_ + "/d").c_str(), 0755), 0);
  std::ofstream(dir_ + "/d/inside") << "x";
  EXPECT_FALSE(atomic_file::replace(dir_ + "/d", "new\n", 0644));  // rename over a directory
  EXPECT_FALSE(atomic_file::replace(dir_ + "/missing/f", "new\n", 0644));
  EXPECT_EQ(text("d/inside"), "x");
  {
    atomic_file::Replacement dropped(dir_ + "/f", 0644);
    ASSERT_TRUE(dropped.valid());
    EXPECT_EQ(dropped.temp_path().rfind(dir_ + "/.f.", 0), 0u);
    EXPECT_TRUE(dropped.write("never\n"));
  }
  EXPECT_EQ(others("d"), 0);
}

}  // namespace
