#include "nvtd/auth/auth.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <string>
#include <tuple>

#include "nvtd/auth/base64.h"
#include "nvtd/auth/useradd.h"
#include "nvtd/auth/users_file.h"
#include "nvtd/core/config_test_util.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

constexpr char kNonce[] = "0123456789abcdef";
constexpr char kCreated[] = "2026-12-07T10:00:00Z";

std::string token(const std::string& user, const std::string& digest,
                  const std::string& created = kCreated,
                  const std::string& type = "#PasswordDigest") {
  return "<s:Header><wsse:Security><wsse:UsernameToken><wsse:Username>" + user +
         "</wsse:Username><wsse:Password Type=\"http://x/profile-1.0" + type + "\">" + digest +
         "</wsse:Password><wsse:Nonce>" + base64_encode(kNonce) + "</wsse:Nonce><wsu:Created>" +
         created +
         "</wsu:Created></wsse:UsernameToken></wsse:Security></s:Header>"
         "<s:Body><tds:GetUsers/></s:Body>";
}

std::string signed_by(const std::string& user, const std::string& password) {
  return token(user, password_digest(kNonce, kCreated, password));
}

class UsersFileTest : public ::testing::Test {
 protected:
  ScopedConfig scoped_config;
  void SetUp() override {
    char dir[] = "/tmp/nvtd_auth_test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    UsersFilePath = dir_ + "/users";
    UsersFileFallbackPath = dir_ + "/.users";
    scoped_config.set(&Config::token_window,
                      0);  // these cases are about the digest, with a fixed Created
  }
  void TearDown() override {
    unlink(UsersFilePath.c_str());
    unlink(UsersFileFallbackPath.c_str());
    rmdir(dir_.c_str());
    UsersFilePath = "/etc/nvtd/users";
    UsersFileFallbackPath = "/etc/nvtd/.users";
  }
  void write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
  std::string line(const std::string& user, const std::string& password) {
    std::string error;
    auto l = make_useradd_line(user, password, "user", &error);
    EXPECT_TRUE(l) << error;
    return l.value_or("") + "\n";
  }
  std::string dir_;
};

TEST(PasswordDigest, IsBase64OfSha1OverNonceCreatedAndPassword) {
  EXPECT_EQ(password_digest(kNonce, kCreated, "s3cret"), "XlTlSwYnszIP76WH8TD5gY//KD0=");
}

TEST_F(UsersFileTest, RightDigestPassesAndAnyChangeFails) {
  write(UsersFilePath, "other:user:x:\n" + line("viewer", "s3cret"));
  EXPECT_EQ(verify_username_token(signed_by("viewer", "s3cret")), AuthResult::kPass);
  EXPECT_EQ(verify_username_token(signed_by("viewer", "s3creT")), AuthResult::kFailed);
  EXPECT_EQ(verify_username_token(signed_by("nobody", "s3cret")), AuthResult::kFailed);
  std::string body = signed_by("viewer", "s3cret");
  body.replace(body.find(kCreated) + 3, 1, "7");  // one character of Created
  EXPECT_EQ(verify_username_token(body), AuthResult::kFailed);
  body = token("viewer", password_digest("", kCreated, "s3cret"));  // no nonce bytes
  body.replace(body.find(base64_encode(kNonce)), base64_encode(kNonce).size(), "");
  EXPECT_EQ(verify_username_token(body), AuthResult::kFailed);
}

TEST_F(UsersFileTest, OnlyTheCanonicalSpellingOfTheNonceAuthenticates) {
  write(UsersFilePath, line("viewer", "s3cret"));
  const std::string body = signed_by("viewer", "s3cret"), canonical = base64_encode(kNonce);
  ASSERT_EQ(canonical.back(), '=');  // 16 bytes: one "=" of padding
  EXPECT_EQ(verify_username_token(body), AuthResult::kPass);
  // The same bytes under other spellings once passed the same digest as other tokens.
  for (const std::string& other : {canonical + "=", canonical + "!", canonical + " A",
                                   canonical.substr(0, canonical.size() - 1) + "~1",
                                   canonical.substr(0, canonical.size() - 1), " " + canonical}) {
    std::string variant = body;
    variant.replace(variant.find(canonical), canonical.size(), other);
    EXPECT_EQ(verify_username_token(variant), AuthResult::kFailed) << other;
  }
}

TEST_F(UsersFileTest, StepsInOrder) {
  write(UsersFilePath, line("viewer", "s3cret"));
  EXPECT_EQ(verify_username_token("<s:Body><tds:GetUsers/></s:Body>"), AuthResult::kNoCredentials);
  // Missing credentials are found before the digest type is looked at.
  EXPECT_EQ(verify_username_token("<Username>viewer</Username>"), AuthResult::kNoCredentials);
  EXPECT_EQ(verify_username_token(token("viewer", "s3cret", kCreated, "#PasswordText")),
            AuthResult::kNoDigest);
  std::string no_nonce = signed_by("viewer", "s3cret");
  no_nonce.replace(no_nonce.find("<wsse:Nonce>"), 12, "<wsse:Nonc>");
  EXPECT_EQ(verify_username_token(no_nonce), AuthResult::kNoCredentials);
}

TEST_F(UsersFileTest, FallbackFileAndNoFile) {
  EXPECT_EQ(verify_username_token(signed_by("viewer", "s3cret")), AuthResult::kFailed);
  write(UsersFileFallbackPath, line("viewer", "s3cret"));
  EXPECT_EQ(verify_username_token(signed_by("viewer", "s3cret")), AuthResult::kPass);
  // The first file wins as soon as it opens, even without the user.
  write(UsersFilePath, line("other", "s3cret"));
  EXPECT_EQ(verify_username_token(signed_by("viewer", "s3cret")), AuthResult::kFailed);
}

TEST_F(UsersFileTest, ReadAfreshForEveryRequest) {
  write(UsersFilePath, line("viewer", "one"));
  EXPECT_EQ(verify_username_token(signed_by("viewer", "one")), AuthResult::kPass);
  write(UsersFilePath, line("viewer", "two"));
  EXPECT_EQ(verify_username_token(signed_by("viewer", "one")), AuthResult::kFailed);
  EXPECT_EQ(verify_username_token(signed_by("viewer", "two")), AuthResult::kPass);
}

TEST_F(UsersFileTest, UserNameComparedOnItsFirstElevenCharacters) {
  write(UsersFilePath, line("abcdefghijk", "pw"));
  EXPECT_EQ(verify_username_token(signed_by("abcdefghijkXYZ", "pw")), AuthResult::kPass);
  EXPECT_EQ(verify_username_token(signed_by("abcdefghij", "pw")), AuthResult::kFailed);
}

TEST_F(UsersFileTest, LinesWithoutFlagOrSecretFailClosed) {
  write(UsersFilePath,
        "clear:user:plainpw:\n"  // no flag: the secret is the password in clear
        "bare:user:\n"           // no secret: never authenticates
        "lone\n"
        "junk:user:!!!!:a:\n"  // not Base64 of a cipher text
        "emptyok:user:" +
            line("x", "").substr(7));  // enciphered empty password
  EXPECT_EQ(verify_username_token(signed_by("clear", "plainpw")), AuthResult::kPass);
  EXPECT_EQ(verify_username_token(signed_by("clear", "")), AuthResult::kFailed);
  EXPECT_EQ(verify_username_token(signed_by("bare", "")), AuthResult::kFailed);
  EXPECT_EQ(verify_username_token(signed_by("lone", "")), AuthResult::kFailed);
  EXPECT_EQ(verify_username_token(signed_by("junk", "")), AuthResult::kFailed);
  EXPECT_EQ(verify_username_token(signed_by("emptyok", "")), AuthResult::kPass);
}

TEST(UsersLine, FieldsAreNonEmptyPiecesBetweenColons) {
  UsersLine l = parse_users_line("bob::operator:::c2VjcmV0:a:\n");
  EXPECT_EQ(l.name, "bob");
  EXPECT_EQ(l.level, "operator");
  EXPECT_EQ(l.secret.value_or("-"), "c2VjcmV0");
  EXPECT_EQ(l.flag, "a");
  // The line break never sticks to the flag, with or without the final colon.
  EXPECT_EQ(parse_users_line("bob:user:c2VjcmV0:a\r\n").flag, "a");
  EXPECT_FALSE(parse_users_line("bob:user:").secret);
}

TEST(Useradd, PrintsALineThatRoundTrips) {
  std::string error;
  auto l = make_useradd_line("viewer", "s3cret", "operator", &error);
  ASSERT_TRUE(l);
  UsersLine parsed = parse_users_line(*l);
  EXPECT_EQ(parsed.name, "viewer");
  EXPECT_EQ(parsed.level, "operator");
  EXPECT_EQ(parsed.flag, "a");
  EXPECT_EQ(l->substr(l->size() - 3), ":a:");
  EXPECT_EQ(users_line_password(parsed).value_or("-"), "s3cret");
}

TEST(Useradd, RefusesAccountsThatCouldNeverAuthenticate) {
  std::string error;
  EXPECT_TRUE(make_useradd_line("u", std::string(31, 'p'), "user", &error));
  EXPECT_FALSE(make_useradd_line("u", std::string(32, 'p'), "user", &error));
  EXPECT_NE(error.find("password"), std::string::npos);
  EXPECT_FALSE(make_useradd_line("abcdefghijkl", "pw", "user", &error));
  EXPECT_FALSE(make_useradd_line("a:b", "pw", "user", &error));
  EXPECT_FALSE(make_useradd_line("", "pw", "user", &error));
  StdoutCapture out;
  EXPECT_EQ(useradd("u", std::string(40, 'p').c_str(), "user"), -1);
  EXPECT_EQ(out.take(), "");
}

TEST_F(UsersFileTest, FaultsWrittenForEachFailure) {
  scoped_config.set(&Config::server, true);
  scoped_config.set(&Config::token_window, 0);
  write(UsersFilePath, line("viewer", "s3cret"));
  {
    OutputCapture out(RunMode::kServer);
    EXPECT_FALSE(check_username_token("<s:Body/>", out.reply()));
    std::string text = out.take();
    EXPECT_EQ(text.rfind("HTTP/1.0 400 Bad Request\r\nContent-Length: ", 0), 0u);
    EXPECT_NE(text.find("ter:NotAuthorized"), std::string::npos);
  }
  {
    OutputCapture out(RunMode::kServer);
    EXPECT_FALSE(
        check_username_token(token("viewer", "s3cret", kCreated, "#PasswordText"), out.reply()));
    EXPECT_NE(out.take().find("wsse:InvalidSecurity"), std::string::npos);
  }
  {
    OutputCapture out(RunMode::kServer);
    EXPECT_FALSE(check_username_token(signed_by("viewer", "wrong"), out.reply()));
    std::string text = out.take();
    EXPECT_EQ(text.rfind("HTTP/1.0 400 Bad Request\r\nContent-Length: ", 0), 0u);
    EXPECT_NE(text.find("wsse:FailedAuthentication"), std::string::npos);
    EXPECT_NE(text.find("<SOAP-ENV:Header>"), std::string::npos);
  }
  {
    OutputCapture out(RunMode::kServer);
    EXPECT_TRUE(check_username_token(signed_by("viewer", "s3cret"), out.reply()));
    EXPECT_EQ(out.take(), "");
  }
}

TEST(RememberToken, ATokenIsItsAccountsAndRepeatsOnlyForReadingOfOneClass) {
  using A = AccessClass;
  const Operation info{"GetDeviceInformation", Service::kDevice, A::kReadSystem, CallForm::kRequest,
                       nullptr},
      dns{"GetDNS", Service::kDevice, A::kReadSystem, CallForm::kRequest, nullptr},
      users{"GetUsers", Service::kDevice, A::kReadSystemSecret, CallForm::kRequest, nullptr},
      hostname{"SetHostname", Service::kDevice, A::kWriteSystem, CallForm::kRequest, nullptr};
  // A new token of the first user on the first operation, then viewer's at once from the same
  // address on the second (null: an unknown operation), and whether that passes.
  const std::tuple<const Operation*, const Operation*, const char*, bool> cases[] = {
      {&info, &info, "viewer", true},          {&info, &dns, "viewer", true},
      {&info, &users, "viewer", false},        {&info, &hostname, "viewer", false},
      {&hostname, &hostname, "viewer", false}, {nullptr, nullptr, "viewer", false},
      {&hostname, &hostname, "mallory", true}};
  Request request;
  request.remote_addr = "10.0.0.9";
  const CreatedTime now{std::int64_t(std::time(nullptr)), ""};
  int n = 0;
  for (const auto& [first, then, first_user, passes] : cases) {
    const std::string nonce = "nonce-" + std::to_string(n++);
    OutputCapture out;
    ASSERT_TRUE(remember_token({first_user, "user", nonce, now}, request, first, out.reply()));
    EXPECT_EQ(remember_token({"viewer", "user", nonce, now}, request, then, out.reply()), passes)
        << n;
  }
}

}  // namespace
}  // namespace nvtd
