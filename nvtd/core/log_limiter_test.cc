// The log limiter: one line a second for each subject with the count left out, a fixed table
// however many subjects complain, and complaints traced through it.
#include "nvtd/core/log_limiter.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "nvtd/core/config_test_util.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

TEST(LogLimiter, OneLineASecondForEachSubjectWithTheCountLeftOut) {
  ScopedConfig scoped_config;
  const std::int64_t t = 1796637600000;
  const std::uint32_t no = UINT32_MAX;  // not logged
  const std::tuple<const char*, std::int64_t, std::uint32_t> steps[] = {
      {"viewer", 0, 0},     {"viewer", 1, no},   {"viewer", 999, no},
      {"10.0.0.9", 500, 0}, {"viewer", 1000, 2}, {"viewer", 1500, no},
      {"viewer", 5000, 1},  {"viewer", 4000, 0}, {"", 0, 0}};
  LogLimiter limiter;
  for (const auto& [subject, at_ms, left_out] : steps) {
    LogTurn turn = limiter.turn(subject, t + at_ms);
    EXPECT_EQ(turn.log ? turn.left_out : no, left_out) << subject << " at " << at_ms;
  }
  for (std::int64_t second : {10000, 12000}) {  // new subjects take the places of quiet ones
    int lines = 0;
    for (int i = 0; i < 1000; ++i)
      lines += limiter.turn(std::to_string(second + i), t + second + i).log;
    EXPECT_EQ(lines, int(LogLimiter::kPlaces)) << second;
  }
  // Complaints: traced, cut at 255 bytes, once a second for each subject.
  scoped_config.set(&Config::server, true);
  StdoutCapture out;
  for (int i = 0; i < 50; ++i)
    trace_complaint(false, "10.9.9.9", "%d%s\n", i, std::string(300, 'x').c_str());
  EXPECT_EQ(out.take(), "0" + std::string(254, 'x') + "\n");
}

}  // namespace
}  // namespace nvtd
