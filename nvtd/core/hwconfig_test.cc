#include "nvtd/core/hwconfig.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

class HwConfig : public ::testing::Test {
 protected:
  void SetUp() override { HwAudio = true; }
  void TearDown() override {
    if (!path_.empty()) unlink(path_.c_str());
    HwAudio = true;  // what the probe starts from
  }
  void probe(const std::string& text) {
    char name[] = "/tmp/hwconfig_test.XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    path_ = name;
    ASSERT_EQ(write(fd, text.data(), text.size()), ssize_t(text.size()));
    close(fd);
    probe_hardware(path_.c_str());
  }
  std::string path_;
};

TEST_F(HwConfig, ASecondGroupModelAfterAudioOneLeavesNoAudio) {
  probe("audio=1\nmodel=TQPX-KH41\n");
  EXPECT_FALSE(HwAudio);
}

TEST_F(HwConfig, LaterLinesWin) {
  probe("model=TQPX-KH41\r\naudio=1\r\n");
  EXPECT_TRUE(HwAudio);
  probe("model=TQLM-N316\nmodel=TQLS-J735\n");
  EXPECT_FALSE(HwAudio);
}

TEST_F(HwConfig, ModelsAreComparedOnNineCharacters) {
  HwAudio = false;
  probe("model=TQLM-R204-EXTRA\n");
  EXPECT_TRUE(HwAudio);
  probe("model=TQPX-J7\n");  // too short to match anything
  EXPECT_TRUE(HwAudio);
  probe("model=XYZ-12345\n");
  EXPECT_TRUE(HwAudio);
}

TEST_F(HwConfig, OnlyAudioZeroOrOneAndKnownKeysCount) {
  probe("audio=2\nvideo=0\nAUDIO=0\naudio\n=0\naudio=\n");
  EXPECT_TRUE(HwAudio);
  EXPECT_EQ(RelayCount, 0);
  probe("audio=0");
  EXPECT_FALSE(HwAudio);
}

TEST_F(HwConfig, TheRestOfAnOverlongLineIsNotALine) {
  probe("comment=" + std::string(60, 'x') + "audio=0\n");
  EXPECT_TRUE(HwAudio);
}

TEST_F(HwConfig, AMissingFileChangesNothing) {
  probe_hardware("/nonexistent/hwconfig.txt");
  EXPECT_TRUE(HwAudio);
}

}  // namespace
}  // namespace nvtd
