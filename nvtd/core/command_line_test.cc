#include "nvtd/core/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    actions_.start_persist = [this] {
      ++persist_calls_;
      return persist_result_;
    };
    actions_.useradd = [this](const char* u, const char* p, const char* l) {
      users_.push_back(std::string(u) + ":" + p + ":" + l);
    };
  }
  ParseResult parse(std::vector<const char*> args) {
    args.insert(args.begin(), "nvtd");
    StdoutCapture out;
    ParseResult r = parse_command_line(int(args.size()), args.data(), actions_, &config_);
    printed_ = out.take();
    return r;
  }
  CommandLineActions actions_;
  Config config_;
  int persist_calls_ = 0;
  int persist_result_ = 0;
  std::vector<std::string> users_;
  std::string printed_;
};

TEST_F(CommandLine, NoArgumentsIsAUsageError) {
  EXPECT_EQ(parse({}), ParseResult::kUsage);
}

TEST_F(CommandLine, PortAloneOrWithoutANumberIsAUsageError) {
  EXPECT_EQ(parse({"--port"}), ParseResult::kUsage);
  EXPECT_EQ(parse({"--verbose", "--port"}), ParseResult::kUsage);
  EXPECT_EQ(parse({"--port", "http"}), ParseResult::kUsage);
  EXPECT_EQ(parse({"--port", "70000"}), ParseResult::kUsage);
  EXPECT_EQ(parse({"--port", "0"}), ParseResult::kUsage);
}

TEST_F(CommandLine, PortSelectsServerModeAndSaysSo) {
  EXPECT_EQ(parse({"--port", "8080", "--noauth", "--verbose", "--verbose"}), ParseResult::kServe);
  EXPECT_TRUE(config_.server);
  EXPECT_TRUE(config_.no_auth);
  EXPECT_EQ(config_.http_port, 8080);
  EXPECT_EQ(config_.verbose, 2);
  EXPECT_EQ(printed_, "running in server mode on port 8080\nrunning without authentication\n");
}

TEST_F(CommandLine, NoauthBeforeAModeIsSilent) {
  EXPECT_EQ(parse({"--noauth", "--port", "81"}), ParseResult::kServe);
  EXPECT_EQ(printed_, "running in server mode on port 81\n");
}

TEST_F(CommandLine, VerboseAloneExitsWithoutServing) {
  EXPECT_EQ(parse({"--verbose"}), ParseResult::kExit);
}

TEST_F(CommandLine, UnknownArgumentsAreUsageErrors) {
  EXPECT_EQ(parse({"--help"}), ParseResult::kUsage);
  EXPECT_EQ(parse({"--port", "80", "extra"}), ParseResult::kUsage);
}

TEST_F(CommandLine, UseraddPrintsOneLineAndEndsParsing) {
  EXPECT_EQ(parse({"useradd", "admin", "secret", "user", "--bogus"}), ParseResult::kExit);
  ASSERT_EQ(users_.size(), 1u);
  EXPECT_EQ(users_[0], "admin:secret:user");
  EXPECT_EQ(parse({"--port", "8080", "useradd", "a", "b", "operator"}), ParseResult::kServe);
  EXPECT_EQ(users_.size(), 2u);
}

TEST_F(CommandLine, UseraddNeedsThreeArgumentsAndAKnownLevel) {
  EXPECT_EQ(parse({"useradd", "admin", "secret"}), ParseResult::kUsage);
  EXPECT_EQ(parse({"useradd", "admin", "secret", "root"}), ParseResult::kUsage);
  EXPECT_EQ(parse({"useradd", "admin", "secret", "Administrator"}), ParseResult::kUsage);
  EXPECT_TRUE(users_.empty());
}

TEST_F(CommandLine, PersistRunsItsSetUpAndFailsWithIt) {
  EXPECT_EQ(parse({"--persist", "--noauth"}), ParseResult::kServe);
  EXPECT_EQ(persist_calls_, 1);
  EXPECT_TRUE(config_.persist);
  EXPECT_EQ(printed_, "running without authentication\n");
  persist_result_ = -1;
  EXPECT_EQ(parse({"--persist"}), ParseResult::kStartupError);
}

TEST(Usage, PrintsTheTwoLines) {
  StdoutCapture out;
  print_usage();
  EXPECT_EQ(out.take(), "params:\n\tuseradd <username> <password> <administrator|operator|user>\n");
}

}  // namespace
}  // namespace nvtd
