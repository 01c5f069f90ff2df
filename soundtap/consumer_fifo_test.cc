#include "soundtap/consumer_fifo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace soundtap {
namespace {

class ConsumerFifoTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/consumer_fifo_testXXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    const int fd = open(Path("file").c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(mkdir(Path("dir").c_str(), 0700), 0);
    ASSERT_EQ(symlink(Path("fifo").c_str(), Path("link").c_str()), 0);
  }
  void TearDown() override {
    for (const char* name : {"fifo", "file", "link"}) unlink(Path(name).c_str());
    rmdir(Path("dir").c_str());
    rmdir(dir_.c_str());
  }
  std::string Path(const char* name) const { return dir_ + "/" + name; }

  std::string dir_;
};

TEST_F(ConsumerFifoTest, OnlyAFifoPassesTheCheck) {
  const struct {
    std::string path;
    bool accepted;
  } cases[] = {
      {Path("fifo"), true}, {Path("link"), false},   {Path("file"), false},
      {Path("dir"), false}, {Path("absent"), false}, {"/dev/null", false},
  };
  for (const auto& c : cases) {
    CheckedFifo fifo;
    EXPECT_EQ(check_consumer_path(c.path, &fifo), c.accepted) << c.path;
    EXPECT_EQ(fifo.object.valid(), c.accepted) << c.path;
  }
}

TEST_F(ConsumerFifoTest, TheCheckedFifoIsOpenedEvenWhenItsNameIsSwapped) {
  CheckedFifo fifo;
  ASSERT_TRUE(check_consumer_path(Path("fifo"), &fifo));
  errno = 0;
  EXPECT_FALSE(open_checked_fifo(fifo).valid());
  EXPECT_EQ(errno, ENXIO);  // no reader yet
  const int reader = open(Path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(rename(Path("file").c_str(), Path("fifo").c_str()), 0);  // the name now: a file
  UniqueFd writer = open_checked_fifo(fifo);
  ASSERT_TRUE(writer.valid());
  ASSERT_EQ(write(writer.get(), "x", 1), 1);
  char got = 0;
  EXPECT_EQ(read(reader, &got, 1), 1);
  EXPECT_EQ(got, 'x');
  close(reader);
}

}  // namespace
}  // namespace soundtap
