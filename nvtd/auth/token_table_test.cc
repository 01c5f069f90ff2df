// The token table: its capacity, replays, repeats from the same address, and who is refused
// when it is full.
#include "nvtd/auth/token_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace nvtd {
namespace {

constexpr std::int64_t kNow = 1796637600;
constexpr std::int64_t kNowMs = kNow * 1000;

class Table {
 public:
  explicit Table(std::size_t groups)
      : block_(std::calloc(1, token_table_size(groups))), table_(block_.get(), groups) {
    EXPECT_TRUE(table_.initialize());
  }
  TokenAdmission admit(const std::string& nonce, const char* account,
                       const CreatedTime& created = {kNow, ""}, std::int64_t now_ms = kNowMs,
                       const char* peer = "10.0.0.9") {
    return table_.admit(TokenUse{nonce, &created, created.seconds + 300, account, peer, "R"},
                        now_ms);
  }

 private:
  struct Free {
    void operator()(void* p) const { std::free(p); }
  };
  std::unique_ptr<void, Free> block_;
  TokenTable table_;
};

std::string nonce(int i) {
  return "nonce-" + std::to_string(i);
}

TEST(TokenTable, HoldsSixtyFiveThousandTokensOfOneAccount) {
  Table table(kTokenGroups);
  int admitted = 0;
  for (int i = 0; i < 65536; ++i)
    admitted += table.admit(nonce(i), "nvr") == TokenAdmission::kAdmitted;
  EXPECT_EQ(admitted, 65536);
  for (int i = 0; i < 65536; i += 4096) {
    EXPECT_EQ(table.admit(nonce(i), "nvr", {kNow, ""}, kNowMs + 5000), TokenAdmission::kReplayed);
  }
}

TEST(TokenTable, OneInstantIsOneTokenAndExpiredPlacesComeBack) {
  Table table(1);  // 16 places
  EXPECT_EQ(table.admit("n", "u", {kNow, "5"}), TokenAdmission::kAdmitted);
  EXPECT_EQ(table.admit("n", "u", {kNow, "5"}, kNowMs + 2000), TokenAdmission::kReplayed);
  EXPECT_EQ(table.admit("n", "u", {kNow, "6"}), TokenAdmission::kAdmitted);
  EXPECT_EQ(table.admit("n", "u", {kNow + 1, "5"}), TokenAdmission::kAdmitted);
  for (int i = 0; i < 13; ++i) table.admit(nonce(i), "u");
  EXPECT_EQ(table.admit("last", "u"), TokenAdmission::kFull);  // its own account holds all
  // Once the tokens could no longer pass anyway, their places are free again.
  EXPECT_EQ(table.admit("last", "u", {kNow + 301, ""}, kNowMs + 301000), TokenAdmission::kAdmitted);
}

TEST(TokenTable, TheSameTokenAgainOnlyFromTheSameAddressWithinASecond) {
  Table table(4);
  ASSERT_EQ(table.admit("t", "u"), TokenAdmission::kAdmitted);
  struct Case {
    std::int64_t after_ms;
    const char* peer;
    TokenAdmission expected;
  };
  const TokenAdmission again = TokenAdmission::kRepeatAllowed;
  const Case cases[] = {
      {0, "10.0.0.9", again},
      {999, "10.0.0.9", again},
      {1000, "10.0.0.9", TokenAdmission::kReplayed},
      {5000, "10.0.0.9", TokenAdmission::kReplayed},
      {10, "10.0.0.8", TokenAdmission::kReplayed},
      {10, "", TokenAdmission::kReplayed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(table.admit("t", "u", {kNow, ""}, kNowMs + c.after_ms, c.peer), c.expected)
        << c.after_ms << " " << c.peer;
  }
  ASSERT_EQ(table.admit("v", "u", {kNow, ""}, kNowMs, ""), TokenAdmission::kAdmitted);
  EXPECT_EQ(table.admit("v", "u", {kNow, ""}, kNowMs, ""), TokenAdmission::kReplayed);
}

TEST(TokenTable, AFloodFromOneAccountNeverRefusesAnother) {
  Table table(64);  // 1,024 places
  // A user account sends fresh tokens at the window's far edge, four times the places.
  const CreatedTime edge{kNow + 299, ""};
  std::vector<std::string> taken;
  for (int i = 0; i < 4096; ++i) {
    if (table.admit(nonce(i), "viewer", edge) == TokenAdmission::kAdmitted) {
      taken.push_back(nonce(i));
    }
  }
  EXPECT_GT(taken.size(), 960u);
  EXPECT_LE(taken.size(), 1024u);
  // Administrators' fresh tokens pass, one after the other, however many the flood holds.
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(table.admit("admin-" + std::to_string(i), "boss"), TokenAdmission::kAdmitted) << i;
  }
  // The flood gave places up; none of its tokens passes again, and it gets no new places.
  for (const std::string& n : taken) {
    TokenAdmission a = table.admit(n, "viewer", edge, kNowMs + 2000);
    EXPECT_TRUE(a == TokenAdmission::kReplayed || a == TokenAdmission::kForgotten) << n;
  }
  EXPECT_EQ(table.admit("again", "viewer", edge), TokenAdmission::kForgotten);
}

}  // namespace
}  // namespace nvtd
