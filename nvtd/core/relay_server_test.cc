#include "nvtd/core/relay_server.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/core/relay_protocol.h"

namespace nvtd {
namespace {

// Each test works in a directory of its own; the FIFO paths are in it.
class RelayServer : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_process_state();
    std::string pattern = ::testing::TempDir() + "relay_server_XXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    dir_ = pattern;
    fifo_ = dir_ + "/sv";
    saved_umask_ = umask(022);
  }
  void TearDown() override {
    umask(saved_umask_);
    for (const char* name : {"/sv", "/sv.new", "/target", "/reply"}) {
      std::string path = dir_ + name;
      if (unlink(path.c_str()) < 0) rmdir(path.c_str());
    }
    rmdir(dir_.c_str());
    reset_process_state();
  }
  int start(RelayState* state) {
    StdoutCapture traces;
    return start_persist(state, fifo_.c_str());
  }
  std::string dir_;
  std::string fifo_;
  mode_t saved_umask_ = 0;
};

struct stat lstat_of(const std::string& path) {
  struct stat st = {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

bool readable_now(int fd) {
  pollfd p = {fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

TEST_F(RelayServer, StartMakesItsOwnFifoWhateverStoodAtThePath) {
  std::string target = dir_ + "/target";
  UniqueFd file(open(target.c_str(), O_WRONLY | O_CREAT, 0666));
  struct Case {
    const char* what;
    int (*plant)(const std::string& path, const std::string& target);
  };
  const Case cases[] = {
      {"a link",
       [](const std::string& p, const std::string& t) { return symlink(t.c_str(), p.c_str()); }},
      {"a file",
       [](const std::string& p, const std::string&) {
         return close(open(p.c_str(), O_WRONLY | O_CREAT, 0666));
       }},
      {"a directory",
       [](const std::string& p, const std::string&) { return mkdir(p.c_str(), 0777); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(c.plant(fifo_, target), 0);
    RelayState state;
    ASSERT_EQ(start(&state), 0);
    struct stat st = lstat_of(fifo_);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, mode_t(relay::kServerFifoMode));
    EXPECT_EQ(lstat_of(target).st_size, 0);
    state = RelayState();
    ASSERT_EQ(unlink(fifo_.c_str()), 0);
  }
}

TEST_F(RelayServer, StartKeepsAnOwnFifo) {
  ASSERT_EQ(mkfifo(fifo_.c_str(), 0600), 0);
  ino_t before = lstat_of(fifo_).st_ino;
  RelayState state;
  ASSERT_EQ(start(&state), 0);
  EXPECT_EQ(lstat_of(fifo_).st_ino, before);
  EXPECT_EQ(lstat_of(fifo_).st_mode & 07777, mode_t(relay::kServerFifoMode));
}

TEST_F(RelayServer, ARenewedFifoHoldsNoneOfTheOldBytes) {
  RelayState state;
  ASSERT_EQ(start(&state), 0);
  UniqueFd old_writer(open(fifo_.c_str(), O_WRONLY));
  ASSERT_EQ(write(old_writer.get(), "half a message", 14), 14);
  ino_t before = lstat_of(fifo_).st_ino;
  ASSERT_EQ(renew_server_fifo(&state), 0);
  EXPECT_NE(lstat_of(fifo_).st_ino, before);
  EXPECT_FALSE(readable_now(state.server_fifo.get()));
  // A forwarder still writing to the old FIFO finds no reader; the path leads to the new one.
  EXPECT_EQ(write(old_writer.get(), "x", 1), -1);
  EXPECT_EQ(errno, EPIPE);
  UniqueFd new_writer(open(fifo_.c_str(), O_WRONLY | O_NONBLOCK));
  ASSERT_TRUE(new_writer.valid());
  ASSERT_EQ(write(new_writer.get(), "y", 1), 1);
  EXPECT_TRUE(readable_now(state.server_fifo.get()));
}

TEST_F(RelayServer, AReplyFifoIsOpenedOnlyWhenItIsOne) {
  std::string target = dir_ + "/target";
  std::string reply = dir_ + "/reply";
  ASSERT_EQ(mkfifo(target.c_str(), 0600), 0);
  UniqueFd reader(open(target.c_str(), O_RDONLY | O_NONBLOCK));
  ASSERT_EQ(symlink(target.c_str(), reply.c_str()), 0);  // a link to a FIFO with a reader
  EXPECT_EQ(open_reply_fifo(reply.c_str(), 0), -1);
  EXPECT_EQ(errno, ELOOP);
  ASSERT_EQ(unlink(reply.c_str()), 0);
  ASSERT_EQ(close(open(reply.c_str(), O_WRONLY | O_CREAT, 0600)), 0);
  EXPECT_EQ(open_reply_fifo(reply.c_str(), 0), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(lstat_of(reply).st_size, 0);
  UniqueFd fifo(open_reply_fifo(target.c_str(), 0));
  EXPECT_TRUE(fifo.valid());
}

}  // namespace
}  // namespace nvtd
