#include "nvtd/core/request_env.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "nvtd/core/output_capture_test_util.h"

namespace nvtd {
namespace {

const char* env(const char* name) {
  return getenv(name);
}

TEST(RelayEnvironment, SetsRequestVariablesAndIgnoresDangerousOnes) {
  StdoutCapture traces;
  setenv("PATH", "/usr/bin:/bin", 1);
  unsetenv("LD_PRELOAD");
  apply_relay_environment(
      "REQUEST_METHOD=POST\nCONTENT_LENGTH=10\nPATH=/tmp/evil\nLD_PRELOAD=/tmp/x.so\nIFS=/\n"
      "HTTP_SOAPACTION=\"http://www.onvif.org/ver10/device/wsdl/GetScopes\"\nREMOTE_ADDR=1.2.3.4");
  std::string printed = traces.take();
  EXPECT_STREQ(env("REQUEST_METHOD"), "POST");
  EXPECT_STREQ(env("CONTENT_LENGTH"), "10");
  EXPECT_STREQ(env("HTTP_SOAPACTION"), "\"http://www.onvif.org/ver10/device/wsdl/GetScopes\"");
  EXPECT_STREQ(env("REMOTE_ADDR"), "1.2.3.4");
  EXPECT_STREQ(env("PATH"), "/usr/bin:/bin");
  EXPECT_EQ(env("LD_PRELOAD"), nullptr);
  EXPECT_NE(printed.find("got PATH=/tmp/evil\n"), std::string::npos);  // traced, not applied
}

TEST(RelayEnvironment, ANewRequestDoesNotInheritThePreviousAction) {
  StdoutCapture traces;
  apply_relay_environment("HTTP_SOAPACTION=GetUsers\nCONTENT_TYPE=a\nCONTENT_LENGTH=5");
  ASSERT_STREQ(env("HTTP_SOAPACTION"), "GetUsers");
  apply_relay_environment("CONTENT_LENGTH=7\n\nNOEQUALS\n=x\n");
  EXPECT_EQ(env("HTTP_SOAPACTION"), nullptr);
  EXPECT_EQ(env("CONTENT_TYPE"), nullptr);
  EXPECT_STREQ(env("CONTENT_LENGTH"), "7");
}

TEST(RelayEnvironment, OnlyCgiNamesAreAllowed) {
  EXPECT_TRUE(is_relay_variable("REQUEST_URI"));
  EXPECT_TRUE(is_relay_variable("QUERY_STRING"));
  EXPECT_TRUE(is_relay_variable("HTTP_HOST"));
  for (const char* bad : {"PATH", "LD_PRELOAD", "LD_LIBRARY_PATH", "IFS", "HOME", "SHELL",
                          "BASH_ENV", "ENV", "TZ", "request_method", ""}) {
    EXPECT_FALSE(is_relay_variable(bad)) << bad;
  }
}

TEST(ParseDecimal, BehavesLikeAtoiWithoutOverflow) {
  EXPECT_EQ(parse_decimal("50000"), 50000);
  EXPECT_EQ(parse_decimal(" -5"), -5);
  EXPECT_EQ(parse_decimal("12abc"), 12);
  EXPECT_EQ(parse_decimal("abc"), 0);
  EXPECT_EQ(parse_decimal(""), 0);
  EXPECT_GT(parse_decimal("99999999999999999999999"), 50000);
  EXPECT_EQ(parse_decimal(nullptr), 0);
}

}  // namespace
}  // namespace nvtd
