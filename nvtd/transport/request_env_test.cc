#include "nvtd/transport/request_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "nvtd/core/output_capture_test_util.h"

namespace nvtd {
namespace {

TEST(RelayEnvironment, TakesTheRequestVariablesAndWritesNoEnvironment) {
  StdoutCapture traces;
  setenv("PATH", "/usr/bin:/bin", 1);
  unsetenv("LD_PRELOAD");
  unsetenv("REQUEST_METHOD");
  Request r = request_from_relay_environment(
      "REQUEST_METHOD=POST\nCONTENT_LENGTH=10\nPATH=/tmp/evil\nLD_PRELOAD=/tmp/x.so\nIFS=/\n"
      "HTTP_SOAPACTION=\"http://www.onvif.org/ver10/device/wsdl/GetScopes\"\nREMOTE_ADDR=1.2.3.4\n"
      "REQUEST_URI=/onvif/media_service\nHTTP_AUTHORIZATION=Digest username=\"a\"\n"
      "CONTENT_TYPE=a\0b");
  std::string printed = traces.take();
  EXPECT_EQ(r.mode, RunMode::kRelay);
  EXPECT_EQ(r.method.value_or(""), "POST");
  EXPECT_EQ(r.content_length.value_or(""), "10");
  EXPECT_EQ(r.soap_action.value_or(""), "\"http://www.onvif.org/ver10/device/wsdl/GetScopes\"");
  EXPECT_EQ(r.uri.value_or(""), "/onvif/media_service");
  EXPECT_EQ(r.content_type.value_or(""), "a");  // an embedded NUL ends the value
  EXPECT_EQ(r.remote_addr.value_or(""), "1.2.3.4");
  EXPECT_EQ(r.authorization.value_or(""), "Digest username=\"a\"");
  EXPECT_NE(printed.find("got HTTP_AUTHORIZATION=...\n"), std::string::npos);  // not its value
  EXPECT_EQ(printed.find("username"), std::string::npos);
  EXPECT_STREQ(getenv("PATH"), "/usr/bin:/bin");
  EXPECT_EQ(getenv("LD_PRELOAD"), nullptr);
  EXPECT_EQ(getenv("REQUEST_METHOD"), nullptr);
  EXPECT_NE(printed.find("got PATH=/tmp/evil\n"), std::string::npos);  // traced, not applied
}

TEST(RelayEnvironment, AbsentAndMalformedLinesLeaveValuesUnset) {
  StdoutCapture traces;
  Request r = request_from_relay_environment("CONTENT_LENGTH=7\n\nNOEQUALS\n=x\n");
  EXPECT_FALSE(r.soap_action || r.content_type || r.uri || r.method || r.remote_addr ||
               r.authorization);
  EXPECT_EQ(r.content_length.value_or(""), "7");
}

TEST(RelayEnvironment, TracesShowNoCredentials) {
  const struct {
    const char* text;
    const char* traced;
  } cases[] = {
      {"A=1\nHTTP_AUTHORIZATION=Digest x\nB=2", "A=1\nHTTP_AUTHORIZATION=...\nB=2"},
      {"HTTP_AUTHORIZATION=Digest x", "HTTP_AUTHORIZATION=..."},
      {"HTTP_AUTHORIZATION=", "HTTP_AUTHORIZATION=..."},
      {"X_HTTP_AUTHORIZATION=a\n\nB=2\n", "X_HTTP_AUTHORIZATION=a\n\nB=2\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(env_text_for_trace(c.text), c.traced) << c.text;
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
