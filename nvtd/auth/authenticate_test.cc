// The authentication step over both schemes: Digest alone, the UsernameToken alone, both
// together, the levels, and (nonce, nc) replays. The 401's challenges in each mode are checked
// end to end (tests/e2e/test_digest.py), through the web servers too.
#include "nvtd/auth/authenticate.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "nvtd/auth/auth.h"
#include "nvtd/auth/base64.h"
#include "nvtd/auth/digest_check.h"
#include "nvtd/auth/token_memory.h"
#include "nvtd/auth/useradd.h"
#include "nvtd/auth/users_file.h"
#include "nvtd/core/config_test_util.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

constexpr char kUri[] = "/onvif/device_service";
const Operation kRead{"GetDeviceInformation", Service::kDevice, AccessClass::kReadSystem,
                      CallForm::kRequest, nullptr};
const Operation kWrite{"SetHostname", Service::kDevice, AccessClass::kWriteSystem,
                       CallForm::kRequest, nullptr};

std::string security(const std::string& user, const std::string& password,
                     const std::string& nonce) {
  const char* created = "2026-12-07T10:00:00Z";
  return "<s:Header><wsse:Security><wsse:UsernameToken><wsse:Username>" + user +
         "</wsse:Username><wsse:Password Type=\"#PasswordDigest\">" +
         password_digest(nonce, created, password) + "</wsse:Password><wsse:Nonce>" +
         base64_encode(nonce) + "</wsse:Nonce><wsu:Created>" + created +
         "</wsu:Created></wsse:UsernameToken></wsse:Security></s:Header>";
}

class Authenticate : public ::testing::Test {
 protected:
  ScopedConfig scoped_config;
  void SetUp() override {
    scoped_config.set(&Config::token_window, 0);  // a fixed Created
    char dir[] = "/tmp/nvtd_authenticate_test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    UsersFilePath = dir_ + "/users";
    UsersFileFallbackPath = dir_ + "/.users";
    std::string error;
    std::ofstream(UsersFilePath)
        << make_useradd_line("viewer", "s3cret", "user", &error).value() << "\n"
        << make_useradd_line("boss", "b0ss", "administrator", &error).value() << "\n";
  }
  void TearDown() override {
    unlink(UsersFilePath.c_str());
    rmdir(dir_.c_str());
    UsersFilePath = "/etc/nvtd/users";
    UsersFileFallbackPath = "/etc/nvtd/.users";
  }
  // Runs the step; *answer is what it wrote.
  bool run(const std::string& header, const std::string& authorization, const Operation& op,
           std::string* answer) {
    Request request;
    request.mode = RunMode::kCgi;
    request.method = "POST";
    request.uri = kUri;
    // Without a header, the body carries a Username and Password of its own, as CreateUsers
    // does: no credentials.
    const char* user = "<tt:Username>x</tt:Username><tt:Password>y</tt:Password>";
    request.body = "<s:Envelope>" + header + "<s:Body><tds:" + op.name + ">" +
                   (header.empty() ? user : "") + "</tds:" + op.name + "></s:Body></s:Envelope>";
    if (!authorization.empty()) request.authorization = authorization;
    OutputCapture out(RunMode::kCgi);
    bool passed = authenticate_request(request, &op, out.reply());
    *answer = out.take();
    return passed;
  }
  // A fresh nonce, from the challenge of a request without credentials.
  std::string challenge_nonce() {
    std::string answer;
    EXPECT_FALSE(run("", "", kRead, &answer));
    size_t at = answer.find("nonce=\"");
    EXPECT_NE(at, std::string::npos) << answer;
    return answer.substr(at + 7, 36);
  }
  std::string digest(const std::string& user, const std::string& password, const std::string& nonce,
                     const std::string& nc, DigestAlgorithm algorithm = DigestAlgorithm::kMd5) {
    const std::string response = digest_response(
        {algorithm, user, kDigestRealm, password, "POST", kUri, nonce, nc, "c0ffee"});
    return "Digest username=\"" + user + "\", realm=\"" + kDigestRealm + "\", nonce=\"" + nonce +
           "\", uri=\"" + kUri + "\", response=\"" + response + "\", qop=auth, nc=" + nc +
           ", cnonce=\"c0ffee\", algorithm=" +
           (algorithm == DigestAlgorithm::kMd5 ? "MD5" : "SHA-256");
  }
  std::string dir_;
};

TEST_F(Authenticate, SchemesAloneAndTogether) {
  enum Auth { kNone, kRight, kWrong, kBasic };  // the Authorization header
  struct Case {
    const char* what;
    std::string header;  // the Security header, or ""
    Auth auth;
    const Operation* op;
    const char* answer;  // what a refusal holds; "" when it passes
  };
  const std::string token = security("boss", "b0ss", "tok1");
  const std::string bad_token = security("boss", "wrong", "tok2");
  const char* k401 = "Status: 401 Unauthorized\r\n";
  const Case cases[] = {
      {"digest alone", "", kRight, &kRead, ""},
      {"digest wrong", "", kWrong, &kRead, k401},
      {"token alone", token, kNone, &kRead, ""},
      {"token wrong", bad_token, kNone, &kRead, "wsse:FailedAuthentication"},
      {"incomplete header",
       "<s:Header><wsse:Security><wsse:Username>boss</wsse:Username></wsse:Security></s:Header>",
       kNone, &kRead, "No security header supplied"},
      {"both right", token, kRight, &kRead, ""},
      {"digest right, token wrong", bad_token, kRight, &kRead, "wsse:FailedAuthentication"},
      {"digest wrong, token right", token, kWrong, &kRead, k401},
      {"digest level too low", "", kRight, &kWrite, "ter:NotAuthorized"},
      {"both, digest level too low", token, kRight, &kWrite, "ter:NotAuthorized"},
      {"Basic is no credential", "", kBasic, &kRead, k401},
  };
  for (const Case& c : cases) {
    std::string authorization = c.auth == kBasic ? "Basic dmlld2VyOnMzY3JldA==" : "";
    if (c.auth == kRight || c.auth == kWrong) {
      authorization = digest("viewer", c.auth == kRight ? "s3cret" : "guess", challenge_nonce(),
                             "00000001", DigestAlgorithm::kSha256);
    }
    std::string answer;
    EXPECT_EQ(run(c.header, authorization, *c.op, &answer), *c.answer == '\0') << c.what;
    if (*c.answer == '\0') {
      EXPECT_EQ(answer, "") << c.what;
    } else {
      EXPECT_NE(answer.find(c.answer), std::string::npos) << c.what << ": " << answer;
    }
  }
}

TEST_F(Authenticate, ANonceServesRisingCountsOnceEach) {
  const std::string nonce = challenge_nonce();
  for (auto [nc, passes] :
       {std::pair{"00000001", true}, std::pair{"00000002", true}, std::pair{"00000002", false},
        std::pair{"00000001", false}, std::pair{"00000004", true}}) {
    std::string answer;
    EXPECT_EQ(run("", digest("viewer", "s3cret", nonce, nc), kRead, &answer), passes) << nc;
    EXPECT_EQ(answer.find("stale=true") != std::string::npos, !passes) << answer;
  }
}

// A full memory: one account using up every place is refused itself (401 stale=true) while
// another account goes on.
TEST_F(Authenticate, AFullCountMemoryRefusesTheAccountThatFilledIt) {
  const std::size_t groups = 64;  // 1,024 places
  set_token_memory(std::make_unique<ProcessTokenMemory>(groups));
  const std::string nonce = challenge_nonce();
  std::size_t passed = 0;
  std::string answer;
  for (std::size_t nc = 1; nc <= 2 * groups * kTokenGroupPlaces; ++nc) {
    char count[9];
    snprintf(count, sizeof count, "%08zx", nc);
    if (!run("", digest("viewer", "s3cret", nonce, count), kRead, &answer)) break;
    ++passed;
  }
  EXPECT_GT(passed, groups * kTokenGroupPlaces / 2);
  EXPECT_LT(passed, groups * kTokenGroupPlaces + 1);
  EXPECT_NE(answer.find("stale=true"), std::string::npos) << answer;
  printf("one account's counts before the first refusal: %zu of %zu places\n", passed,
         groups * kTokenGroupPlaces);
  EXPECT_TRUE(run("", digest("boss", "b0ss", challenge_nonce(), "00000001"), kRead, &answer))
      << answer;
  set_token_memory(std::make_unique<ProcessTokenMemory>());
}

}  // namespace
}  // namespace nvtd
