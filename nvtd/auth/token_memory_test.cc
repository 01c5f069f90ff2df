// Fresh tokens: the Created forms accepted, the window, and the file that CGI processes share.
#include "nvtd/auth/token_memory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>

#include "nvtd/core/config_test_util.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

TEST(TokenFreshness, CreatedIsAnXsDateTimeWithAZone) {
  struct Case {
    const char* text;
    std::int64_t utc;  // -1: refused
    const char* fraction;
  };
  const Case cases[] = {
      {"2026-12-07T10:00:00Z", 1796637600, ""},
      {"2026-12-07T10:00:00.123450Z", 1796637600, "12345"},
      {"2026-12-07T10:00:00.000Z", 1796637600, ""},
      {"2026-12-07T12:30:00+02:30", 1796637600, ""},
      {"2026-12-07T05:00:00-05:00", 1796637600, ""},
      {"2026-12-08T00:00:00+14:00", 1796637600, ""},
      {"2026-12-06T20:00:00-14:00", 1796637600, ""},
      {" \t2026-12-07T10:00:00Z\r\n ", 1796637600, ""},  // blanks around the value
      {"2024-02-29T00:00:00Z", 1709164800, ""},
      {"2040-01-01T00:00:00Z", 2208988800, ""},  // past 2038
      {"2026-12-08T00:01:00+14:01", -1, ""},     // zones end at ±14:00
      {"2026-12-06T19:01:00-14:59", -1, ""},
      {"2026-12-07T10:00:00", -1, ""},  // no zone
      {"2025-02-29T00:00:00Z", -1, ""},
      {"2026-13-01T00:00:00Z", -1, ""},
      {"2026-12-07T24:00:00Z", -1, ""},
      {"2026-12-07T10:00:00.Z", -1, ""},
      {"2026-12-07T10:00:00Z x", -1, ""},
      {"2026-12-07 10:00:00Z", -1, ""},
      {"2026-12-07T10:00:00 Z", -1, ""},
      {"not a time", -1, ""},
      {" ", -1, ""},
      {"", -1, ""},
  };
  for (const Case& c : cases) {
    std::optional<CreatedTime> got = parse_created(c.text);
    EXPECT_EQ(got ? got->seconds : -1, c.utc) << c.text;
    EXPECT_EQ(got ? got->fraction : "", c.fraction) << c.text;
  }
}

TEST(TokenFreshness, WindowEitherSideOfTheClock) {
  const std::int64_t now = 1796637600;
  for (std::int64_t skew : {-300, -240, 0, 240, 300}) {
    EXPECT_TRUE(created_in_window(CreatedTime{now + skew, ""}, 300, now)) << skew;
  }
  for (std::int64_t skew : {-301, -360, 301, 360}) {
    EXPECT_FALSE(created_in_window(CreatedTime{now + skew, ""}, 300, now)) << skew;
  }
}

TokenUse use_of(const std::string& nonce, const CreatedTime& created, const char* account) {
  return TokenUse{nonce, &created, created.seconds + 300, account, "10.0.0.1", "READ_MEDIA"};
}

TEST(TokenFreshness, CgiProcessesShareAPrivateFile) {
  char dir[] = "/tmp/nvtd_tokens.XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string home = std::string(dir) + "/nvtd", path = home + "/tokens";
  const std::int64_t now_ms = 1796637600000;
  const CreatedTime at{1796637600, ""};
  {
    FileTokenMemory first(home, "tokens", 4), second(home, "tokens", 4);
    EXPECT_EQ(first.admit(use_of("a", at, "u"), now_ms), TokenAdmission::kAdmitted);
    // Another process, two seconds later: a replay.
    EXPECT_EQ(second.admit(use_of("a", at, "u"), now_ms + 2000), TokenAdmission::kReplayed);
    EXPECT_EQ(second.admit(use_of("b", at, "u"), now_ms), TokenAdmission::kAdmitted);
    struct stat st {};
    ASSERT_EQ(stat(home.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::size_t(st.st_size), token_table_size(4));
  }
  // A file of the old size or of another layout is made afresh, and then used.
  truncate(path.c_str(), 8192 * 24);
  FileTokenMemory memory(home, "tokens", 4);
  EXPECT_EQ(memory.admit(use_of("c", at, "u"), now_ms), TokenAdmission::kAdmitted);
  EXPECT_EQ(memory.admit(use_of("c", at, "u"), now_ms + 2000), TokenAdmission::kReplayed);
  // The layout before tokens were kept by account ("NTK2"), at this size: made afresh.
  std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).write("2KTN", 4);
  EXPECT_EQ(memory.admit(use_of("c", at, "u"), now_ms + 2000), TokenAdmission::kAdmitted);
  // The log turns are the file's: one line a second between processes.
  EXPECT_TRUE(memory.log_turn("u", now_ms).log);
  EXPECT_FALSE(FileTokenMemory(home, "tokens", 4).log_turn("u", now_ms + 10).log);
  EXPECT_EQ(FileTokenMemory(home, "tokens", 4).log_turn("u", now_ms + 1000).left_out, 1u);
  // A directory others may write to, or a link in place of the file: nothing passes.
  chmod(home.c_str(), 0777);
  EXPECT_EQ(memory.admit(use_of("d", at, "u"), now_ms), TokenAdmission::kUnavailable);
  chmod(home.c_str(), 0700);
  unlink(path.c_str());
  ASSERT_EQ(symlink("/etc/passwd", path.c_str()), 0);
  EXPECT_EQ(memory.admit(use_of("e", at, "u"), now_ms), TokenAdmission::kUnavailable);
  unlink(path.c_str());
  rmdir(home.c_str());
  rmdir(dir);
}

TEST(TokenRefusals, LoggedOnceASecondForEachAccountAndSaidWhy) {
  ScopedConfig scoped_config;
  scoped_config.set(&Config::server, true);  // traces on
  const CreatedTime at{1796637600, ""};
  const std::int64_t t = at.seconds * 1000;
  ProcessTokenMemory full(1);                          // 16 places
  FileTokenMemory unavailable("/tmp", "nvtd_tokens");  // a directory others may write to
  StdoutCapture out;
  for (int i = 0; i < 1016; ++i) token_counts(use_of("t" + std::to_string(i), at, "u"), full, t);
  for (int i = 0; i < 9; ++i) token_counts(use_of("x", at, "w"), unavailable, t);
  token_counts(use_of("later", at, "u"), full, t + 1000);
  EXPECT_EQ(out.take(),
            "token memory full: token of u refused\n"
            "token memory unavailable: token of w refused\n"
            "token memory full: token of u refused (999 more like this left out)\n");
}

// The process's memory keeps the last key it derived: asked for another label, it derives
// that one, and asked again for the first, gives the first again; another process's memory
// (another secret) gives other keys.
TEST(TokenKeys, EachLabelItsOwnKeyWhateverWasAskedBefore) {
  ProcessTokenMemory memory(4), other(4);
  using Key = std::array<unsigned char, 32>;
  Key first{}, second{}, again{}, elsewhere{};
  const struct {
    const char* label;
    Key* key;
  } asks[] = {{"digest nonce", &first}, {"other", &second}, {"digest nonce", &again}};
  for (const auto& ask : asks) ASSERT_TRUE(memory.derive_key(ask.label, ask.key->data()));
  ASSERT_TRUE(other.derive_key("digest nonce", elsewhere.data()));
  EXPECT_EQ(first, again);
  EXPECT_NE(first, second);
  EXPECT_NE(first, elsewhere);
  EXPECT_NE(first, Key{});
}

}  // namespace
}  // namespace nvtd
