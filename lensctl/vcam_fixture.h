// Test fixture: a private virtual camera (its own VCAM_DIR, virtual pacing) and a way to run
// lensctl commands in process against it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "lensctl/commands.h"
#include "testbed/vcam/store.h"

namespace lensctl {

struct Write {
  long long time_us;
  int reg;
  int value;
};

class VcamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // On a memory file system when there is one: the state file changes with every motor step.
    char path[] = "/dev/shm/vcam_test.XXXXXX";
    if (!std::filesystem::is_directory("/dev/shm"))
      std::snprintf(path, sizeof path, "/tmp/vcam_test.XXXXXX");
    ASSERT_NE(mkdtemp(path), nullptr);
    dir_ = path;
    setenv("VCAM_DIR", dir_.c_str(), 1);
    setenv("VCAM_PACE", "virtual", 1);
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    unsetenv("VCAM_DIR");
  }
  void write_file(const std::string& name, const std::string& text) {
    std::ofstream(dir_ + "/" + name) << text;
  }
  // Runs lensctl with the words; returns the exit status, standard output in out.
  int run(std::vector<std::string> words, std::string* out = nullptr) {
    words.insert(words.begin(), "lensctl");
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    const int status = lensctl_main(static_cast<int>(words.size()), argv.data());
    fflush(stdout);
    const std::string text = testing::internal::GetCapturedStdout();
    if (out != nullptr) *out = text;
    return status;
  }
  std::vector<Write> writes() {
    std::vector<Write> all;
    std::ifstream in(dir_ + "/i2c.log");
    std::string line;
    const std::regex pattern("t=(\\d+) reg=(\\d+) val=0x([0-9A-F]{2})");
    std::smatch m;
    while (std::getline(in, line)) {
      if (std::regex_search(line, m, pattern)) {
        all.push_back({std::stoll(m[1]), std::stoi(m[2]), std::stoi(m[3], nullptr, 16)});
      }
    }
    return all;
  }
  std::string dir_;
};

}  // namespace lensctl
