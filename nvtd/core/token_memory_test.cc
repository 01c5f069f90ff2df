// Fresh tokens: the Created forms accepted, the window, replays, the bound on remembered
// tokens, and the file that CGI processes share.
#include "nvtd/core/token_memory.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace nvtd {
namespace {

std::string utc_text(std::int64_t t) {
  std::time_t at = std::time_t(t);
  std::tm parts{};
  gmtime_r(&at, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

TEST(TokenFreshness, CreatedIsAnXsDateTimeWithAZone) {
  struct Case {
    const char* text;
    std::int64_t utc;  // -1: refused
  };
  const Case cases[] = {
      {"2026-12-07T10:00:00Z", 1796637600},
      {"2026-12-07T10:00:00.123456Z", 1796637600},
      {"2026-12-07T12:30:00+02:30", 1796637600},
      {"2026-12-07T05:00:00-05:00", 1796637600},
      {"2024-02-29T00:00:00Z", 1709164800},
      {"2040-01-01T00:00:00Z", 2208988800},  // past 2038
      {"2026-12-07T10:00:00", -1},           // no zone
      {"2025-02-29T00:00:00Z", -1},
      {"2026-13-01T00:00:00Z", -1},
      {"2026-12-07T24:00:00Z", -1},
      {"2026-12-07T10:00:00.Z", -1},
      {"2026-12-07T10:00:00Z ", -1},
      {"2026-12-07 10:00:00Z", -1},
      {"not a time", -1},
      {" ", -1},
      {"", -1},
  };
  for (const Case& c : cases) {
    std::optional<std::int64_t> got = parse_created(c.text);
    EXPECT_EQ(got.value_or(-1), c.utc) << c.text;
  }
}

TEST(TokenFreshness, WindowReplayAndOff) {
  ProcessTokenMemory memory(16);
  const std::int64_t now = 1796637600;
  EXPECT_TRUE(token_is_fresh("n1", utc_text(now - 240), 300, now, memory));
  EXPECT_TRUE(token_is_fresh("n2", utc_text(now + 240), 300, now, memory));
  EXPECT_FALSE(token_is_fresh("n3", utc_text(now - 360), 300, now, memory));
  EXPECT_FALSE(token_is_fresh("n4", utc_text(now + 360), 300, now, memory));
  EXPECT_FALSE(token_is_fresh("n5", "not a time", 300, now, memory));
  // The same pair once only; the same nonce with another Created is another token.
  EXPECT_FALSE(token_is_fresh("n1", utc_text(now - 240), 300, now + 1, memory));
  EXPECT_TRUE(token_is_fresh("n1", utc_text(now - 239), 300, now + 1, memory));
  // Window 0: no check at all, the old behaviour.
  EXPECT_TRUE(token_is_fresh("n1", utc_text(now - 240), 0, now, memory));
  EXPECT_TRUE(token_is_fresh("n1", "not a time", 0, now, memory));
}

TEST(TokenFreshness, AFullTableRefusesUntilTokensAgeOut) {
  ProcessTokenMemory memory(4);
  const std::int64_t now = 1796637600;
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(token_is_fresh("n" + std::to_string(i), utc_text(now), 300, now, memory));
  }
  EXPECT_FALSE(token_is_fresh("n4", utc_text(now), 300, now, memory));
  // Once the first tokens could no longer pass anyway, their places are free again.
  EXPECT_TRUE(token_is_fresh("n4", utc_text(now + 301), 300, now + 301, memory));
}

TEST(TokenFreshness, CgiProcessesShareAPrivateFile) {
  char dir[] = "/tmp/nvtd_tokens.XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string home = std::string(dir) + "/nvtd";
  const std::int64_t now = 1796637600;
  {
    FileTokenMemory first(home, "tokens", 8), second(home, "tokens", 8);
    EXPECT_TRUE(token_is_fresh("a", utc_text(now), 300, now, first));
    EXPECT_FALSE(token_is_fresh("a", utc_text(now), 300, now, second));  // another process
    EXPECT_TRUE(token_is_fresh("b", utc_text(now), 300, now, second));
    struct stat st {};
    ASSERT_EQ(stat(home.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((home + "/tokens").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, off_t(8 * sizeof(TokenSlot)));
  }
  // A directory others may write to, or a link in place of the file: nothing passes.
  FileTokenMemory memory(home, "tokens", 8);
  chmod(home.c_str(), 0777);
  EXPECT_FALSE(token_is_fresh("c", utc_text(now), 300, now, memory));
  chmod(home.c_str(), 0700);
  unlink((home + "/tokens").c_str());
  ASSERT_EQ(symlink("/etc/passwd", (home + "/tokens").c_str()), 0);
  EXPECT_FALSE(token_is_fresh("d", utc_text(now), 300, now, memory));
  unlink((home + "/tokens").c_str());
  rmdir(home.c_str());
  rmdir(dir);
}

}  // namespace
}  // namespace nvtd
