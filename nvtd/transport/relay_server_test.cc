#include "nvtd/transport/relay_server.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/transport/relay_protocol.h"

namespace nvtd {
namespace {

// Each test works in a directory of its own; the FIFO paths are in it.
class RelayServer : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "relay_server_XXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    dir_ = pattern;
    fifo_ = dir_ + "/sv";
    saved_umask_ = umask(022);
  }
  void TearDown() override {
    umask(saved_umask_);
    for (const char* name : {"/sv", "/lock", "/target", "/reply"}) {
      std::string path = dir_ + name;
      if (unlink(path.c_str()) < 0) rmdir(path.c_str());
    }
    rmdir(dir_.c_str());
  }
  int start(RelayState* state) {
    StdoutCapture traces;
    return start_persist(state, fifo_.c_str(), (dir_ + "/lock").c_str());
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

// The one name "<path>.aside.*" beside path, or "".
std::string moved_aside(const std::string& path) {
  std::string dir = path.substr(0, path.rfind('/'));
  std::string prefix = path.substr(dir.size() + 1) + ".aside.";
  std::string found;
  DIR* listing = opendir(dir.c_str());
  while (dirent* entry = listing ? readdir(listing) : nullptr) {
    if (std::string(entry->d_name).rfind(prefix, 0) == 0) found = dir + "/" + entry->d_name;
  }
  if (listing) closedir(listing);
  return found;
}

// What a local user may leave at the FIFO's and the lock's paths: each is moved aside whole
// (a directory with its contents, a link without touching its target) and nvtd's own made.
TEST_F(RelayServer, StartMovesAsideWhateverStoodAtItsPaths) {
  std::string target = dir_ + "/target";
  UniqueFd file(open(target.c_str(), O_WRONLY | O_CREAT, 0666));
  using Plant = int (*)(const std::string& path, const std::string& target);
  const std::pair<const char*, Plant> plants[] = {
      {"a link",
       [](const std::string& p, const std::string& t) { return symlink(t.c_str(), p.c_str()); }},
      {"a file",
       [](const std::string& p, const std::string&) {
         return close(open(p.c_str(), O_WRONLY | O_CREAT, 0666));
       }},
      {"a directory with something in it",
       [](const std::string& p, const std::string&) {
         return mkdir(p.c_str(), 0777) == 0 ? mkdir((p + "/in").c_str(), 0777) : -1;
       }},
      {"a FIFO of another user",
       [](const std::string& p, const std::string&) {
         return mkfifo(p.c_str(), 0666) == 0 ? lchown(p.c_str(), 65534, 65534) : -1;
       }},
  };
  const std::string lock = dir_ + "/lock";
  for (const auto& [what, plant] : plants) {
    for (const std::string& path : {fifo_, lock}) {
      SCOPED_TRACE(std::string(what) + " at " + path);
      ASSERT_EQ(plant(path, target), 0);
      struct stat planted = lstat_of(path);
      RelayState state;
      ASSERT_EQ(start(&state), 0);
      struct stat fifo = lstat_of(fifo_);
      EXPECT_TRUE(S_ISFIFO(fifo.st_mode) && fifo.st_uid == geteuid());
      EXPECT_EQ(fifo.st_mode & 07777, mode_t(relay::kServerFifoMode));
      struct stat made = lstat_of(lock);
      EXPECT_TRUE(S_ISREG(made.st_mode) && made.st_uid == geteuid());
      EXPECT_EQ(made.st_mode & 07777, mode_t(0600));
      EXPECT_EQ(lstat_of(target).st_size, 0);
      std::string aside = moved_aside(path);
      ASSERT_FALSE(aside.empty());
      EXPECT_EQ(lstat_of(aside).st_ino, planted.st_ino);
      state = RelayState();
      ASSERT_EQ(system(("rm -rf '" + aside + "' '" + fifo_ + "' '" + lock + "'").c_str()), 0);
    }
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

TEST_F(RelayServer, AReplyFifoIsOpenedOnlyWhenItIsOne) {
  std::string target = dir_ + "/target";
  std::string reply = dir_ + "/reply";
  ASSERT_EQ(mkfifo(target.c_str(), 0600), 0);
  UniqueFd reader(open(target.c_str(), O_RDONLY | O_NONBLOCK));
  ASSERT_EQ(symlink(target.c_str(), reply.c_str()), 0);  // a link to a FIFO with a reader
  EXPECT_EQ(open_reply_fifo(reply.c_str(), getpid(), 0), -1);
  EXPECT_EQ(errno, ELOOP);
  ASSERT_EQ(unlink(reply.c_str()), 0);
  ASSERT_EQ(close(open(reply.c_str(), O_WRONLY | O_CREAT, 0600)), 0);
  EXPECT_EQ(open_reply_fifo(reply.c_str(), getpid(), 0), -1);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(lstat_of(reply).st_size, 0);
  UniqueFd fifo(open_reply_fifo(target.c_str(), getpid(), 0));
  EXPECT_TRUE(fifo.valid());
}

TEST_F(RelayServer, StartLeavesTheFileMaskClosedToOthers) {
  RelayState state;
  ASSERT_EQ(start(&state), 0);
  mode_t now = umask(022);
  EXPECT_EQ(now & 022, mode_t(022));  // what commands run later create stays closed
}

// The pid of a process that has ended and been reaped.
pid_t dead_pid() {
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

// A reply FIFO without a reader: nvtd waits for it only while its forwarder lives, and removes
// only what the dead forwarder made.
TEST_F(RelayServer, AReplyFifoOfAGoneForwarderIsNotWaitedForAndOnlyItsOwnIsRemoved) {
  const std::string reply = dir_ + "/reply";
  const std::string target = dir_ + "/target";
  struct Case {
    const char* what;
    bool forwarder_alive;
    int (*plant)(const std::string& path, const std::string& target);
    int error;
    bool removed;
  };
  auto fifo = [](const std::string& p, const std::string&) { return mkfifo(p.c_str(), 0600); };
  const Case cases[] = {
      {"own FIFO, forwarder gone", false, fifo, ESRCH, true},
      {"own FIFO, forwarder alive", true, fifo, ETIMEDOUT, false},
      {"FIFO of another user", false,
       [](const std::string& p, const std::string&) {
         return mkfifo(p.c_str(), 0600) == 0 ? lchown(p.c_str(), 65534, 65534) : -1;
       },
       ESRCH, false},
      {"second name of a FIFO", false,
       [](const std::string& p, const std::string& t) {
         return mkfifo(t.c_str(), 0600) == 0 ? link(t.c_str(), p.c_str()) : -1;
       },
       ESRCH, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(c.plant(reply, target), 0);
    pid_t pid = c.forwarder_alive ? getpid() : dead_pid();
    timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    StdoutCapture traces;
    EXPECT_EQ(open_reply_fifo(reply.c_str(), pid, 300), -1);
    EXPECT_EQ(errno, c.error);
    clock_gettime(CLOCK_MONOTONIC, &end);
    long ms = (end.tv_sec - start.tv_sec) * 1000 + (end.tv_nsec - start.tv_nsec) / 1000000;
    EXPECT_LT(ms, c.forwarder_alive ? 2000 : 100);
    struct stat st;
    EXPECT_EQ(lstat(reply.c_str(), &st) != 0, c.removed);
    unlink(reply.c_str());
    unlink(target.c_str());
  }
}

}  // namespace
}  // namespace nvtd
