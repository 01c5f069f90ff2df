// The Digest check: RFC 7616's vectors, nonces made here (fresh, stale, forged, foreign) and
// each parameter that must match.
#include "nvtd/auth/digest_check.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>

#include "nvtd/auth/useradd.h"
#include "nvtd/auth/users_file.h"

namespace nvtd {
namespace {

TEST(DigestResponse, MatchesTheRfc7616Examples) {
  DigestInput in{DigestAlgorithm::kMd5,
                 "Mufasa",
                 "http-auth@example.org",
                 "Circle of Life",
                 "GET",
                 "/dir/index.html",
                 "7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v",
                 "00000001",
                 "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ"};
  EXPECT_EQ(digest_response(in), "8ca523f5e9506fed4657c9700eebdbec");
  in.algorithm = DigestAlgorithm::kSha256;
  EXPECT_EQ(digest_response(in),
            "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1");
}

constexpr std::int64_t kNow = 1796637600;
constexpr char kUri[] = "/onvif/device_service";

NonceKey key_of(unsigned char fill) {
  NonceKey key;
  key.fill(fill);
  return key;
}

TEST(DigestNonce, FreshStaleForgedAndForeign) {
  const NonceKey key = key_of(1);
  const std::string nonce = make_digest_nonce(key, kNow);
  EXPECT_EQ(nonce.size(), 36u);
  EXPECT_NE(make_digest_nonce(key, kNow), nonce);  // two in one second differ
  struct Case {
    std::string nonce;
    NonceKey key;
    std::int64_t now;
    NonceState state;
  };
  std::string altered = nonce;
  altered[2] = altered[2] == 'A' ? 'B' : 'A';  // the issue time
  const Case cases[] = {
      {nonce, key, kNow, NonceState::kFresh},
      {nonce, key, kNow + kDigestNonceLifetime, NonceState::kFresh},
      {nonce, key, kNow + kDigestNonceLifetime + 1, NonceState::kStale},
      {nonce, key, kNow - 1, NonceState::kStale},  // issued "later": the clock went back
      {nonce, key_of(2), kNow, NonceState::kForged},
      {altered, key, kNow, NonceState::kForged},
      {nonce.substr(0, 35), key, kNow, NonceState::kForged},
      {nonce + "AAAA", key, kNow, NonceState::kForged},
      {"", key, kNow, NonceState::kForged},
      // The nonce proved above, under this key again after the refusals.
      {nonce, key, kNow + 1, NonceState::kFresh},
  };
  // In this order: each case follows one that proved the nonce under the first key.
  for (const Case& c : cases) {
    NonceCheck check = check_digest_nonce(c.key, c.nonce, c.now);
    EXPECT_EQ(check.state, c.state) << c.nonce << " at " << c.now;
    EXPECT_EQ(check.issued, c.state == NonceState::kForged ? 0 : kNow) << c.nonce;
  }
}

class DigestCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/nvtd_digest_test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    UsersFilePath = dir_ + "/users";
    UsersFileFallbackPath = dir_ + "/.users";
    std::string error;
    std::ofstream(UsersFilePath) << *make_useradd_line("viewer", "s3cret", "user", &error) << "\n";
  }
  void TearDown() override {
    unlink(UsersFilePath.c_str());
    rmdir(dir_.c_str());
    UsersFilePath = "/etc/nvtd/users";
    UsersFileFallbackPath = "/etc/nvtd/.users";
  }
  std::string dir_;
};

TEST_F(DigestCheck, EachParameterMustMatch) {
  const NonceKey key = key_of(7);
  using Change = std::function<void(DigestCredentials&)>;  // the client's view
  using V = DigestVerdict;
  struct Case {
    const char* what;
    Change change;
    V verdict;
    std::int64_t issued = kNow;
    const char* password = "s3cret";
  };
  const Change none = [](DigestCredentials&) {};
  const std::int64_t old = kNow - kDigestNonceLifetime - 1;
  const std::string forged = make_digest_nonce(key_of(8), kNow);
  const Case cases[] = {
      {"MD5", none, V::kPass},
      {"SHA-256", [](auto& c) { c.algorithm = "SHA-256"; }, V::kPass},
      {"no algorithm: MD5", [](auto& c) { c.algorithm = ""; }, V::kPass},
      {"nc in upper case", [](auto& c) { c.nc = "0000000A"; }, V::kPass},
      {"wrong password", none, V::kWrong, kNow, "guess"},
      {"unknown user", [](auto& c) { c.username = "nobody"; }, V::kWrong},
      {"other realm", [](auto& c) { c.realm = "elsewhere"; }, V::kWrong},
      {"other uri", [](auto& c) { c.uri = "/onvif/media_service"; }, V::kWrong},
      {"MD5-sess", [](auto& c) { c.algorithm = "MD5-sess"; }, V::kWrong},
      {"qop auth-int", [](auto& c) { c.qop = "auth-int"; }, V::kWrong},
      {"no qop", [](auto& c) { c.qop = ""; }, V::kWrong},
      {"short nc", [](auto& c) { c.nc = "0000001"; }, V::kWrong},
      {"zero nc", [](auto& c) { c.nc = "00000000"; }, V::kWrong},
      {"nc not hexadecimal", [](auto& c) { c.nc = "0000000g"; }, V::kWrong},
      {"no cnonce", [](auto& c) { c.cnonce = ""; }, V::kWrong},
      {"user hash", [](auto& c) { c.userhash = "true"; }, V::kWrong},
      {"forged nonce", [&forged](auto& c) { c.nonce = forged; }, V::kWrong},
      {"stale nonce", none, V::kStale, old},
      {"stale nonce, wrong password", none, V::kWrong, old, "guess"},
  };
  for (const Case& test : cases) {
    const std::string nonce = make_digest_nonce(key, test.issued);
    DigestCredentials c;
    c.username = "viewer", c.realm = kDigestRealm, c.nonce = nonce, c.uri = kUri;
    c.algorithm = "MD5", c.qop = "auth", c.nc = "00000001", c.cnonce = "0a4f113b";
    test.change(c);
    const DigestAlgorithm algorithm =
        c.algorithm == "SHA-256" ? DigestAlgorithm::kSha256 : DigestAlgorithm::kMd5;
    const std::string response = digest_response(
        {algorithm, c.username, c.realm, test.password, "POST", c.uri, c.nonce, c.nc, c.cnonce});
    c.response = response;
    DigestUse use;
    EXPECT_EQ(verify_digest(c, "POST", kUri, key, kNow, &use), test.verdict) << test.what;
    if (test.verdict == V::kPass) {
      EXPECT_EQ(use.user, "viewer") << test.what;
      EXPECT_EQ(use.level, "user") << test.what;
      EXPECT_EQ(use.issued, kNow) << test.what;
    }
  }
}

}  // namespace
}  // namespace nvtd
