#include "nvtd/device/users.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "nvtd/auth/auth.h"
#include "nvtd/auth/base64.h"
#include "nvtd/auth/useradd.h"
#include "nvtd/auth/users_file.h"
#include "nvtd/core/config_test_util.h"
#include "nvtd/core/operation.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"

namespace nvtd {
namespace {

std::string user(const std::string& name, const std::string& level = "User",
                 const std::string& password = "pw") {
  return "<tds:User><tt:Username>" + name + "</tt:Username><tt:Password>" + password +
         "</tt:Password><tt:UserLevel>" + level + "</tt:UserLevel></tds:User>";
}

std::string part(const std::string& operation, const std::string& inner) {
  return "Body><tds:" + operation + ">" + inner + "</tds:" + operation + "></s:Body></s:Envelope>";
}

std::string names(std::initializer_list<const char*> list) {
  std::string out;
  for (const char* n : list) out += std::string("<tds:Username>") + n + "</tds:Username>";
  return part("DeleteUsers", out);
}

class UsersTest : public ::testing::Test {
 protected:
  ScopedConfig scoped_config;
  void SetUp() override {
    scoped_config.set(&Config::token_window, 0);  // the digest is what these cases are about
    char dir[] = "/tmp/nvtd_users_test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    UsersFilePath = dir_ + "/users";
    UsersFileFallbackPath = dir_ + "/.users";
    std::string error;
    std::ofstream(UsersFilePath) << *make_useradd_line("boss", "b-pass", "administrator", &error)
                                 << "\n";
  }
  void TearDown() override {
    for (const char* name : {"/users", "/users.lock", "/.users"}) unlink((dir_ + name).c_str());
    rmdir(dir_.c_str());
    UsersFilePath = "/etc/nvtd/users";
    UsersFileFallbackPath = "/etc/nvtd/.users";
  }
  std::string call(Handler handler, const std::string& text) {
    Request request;
    request.body = text;
    OutputCapture out;
    handler(request, out.reply());
    return out.take();
  }
  std::string get_users() { return call(handle_get_users, ""); }
  // Whether a token with this name and password authenticates now.
  bool logs_in(const std::string& name, const std::string& password) {
    std::string nonce = "nonce-" + std::to_string(++nonces_);
    std::string created = "2026-12-07T10:00:00Z";
    std::string body = "<wsse:UsernameToken><wsse:Username>" + name +
                       "</wsse:Username><wsse:Password Type=\"x#PasswordDigest\">" +
                       password_digest(nonce, created, password) + "</wsse:Password><wsse:Nonce>" +
                       base64_encode(nonce) + "</wsse:Nonce><wsu:Created>" + created +
                       "</wsu:Created></wsse:UsernameToken>";
    return verify_username_token(body) == AuthResult::kPass;
  }
  std::string dir_;
  int nonces_ = 0;
};

TEST_F(UsersTest, AnAccountMadeHereAuthenticatesUntilDeleted) {
  // The password is spelled with references; the client digests the decoded text.
  std::string out =
      call(handle_create_users, part("CreateUsers", user("op", "Operator", "o&amp;p&lt;&#x41;")));
  EXPECT_NE(out.find("<tds:CreateUsersResponse></tds:CreateUsersResponse>"), std::string::npos);
  EXPECT_TRUE(logs_in("op", "o&p<A"));
  EXPECT_FALSE(logs_in("op", "o&amp;p&lt;&#x41;"));
  out = call(handle_set_user, part("SetUser", user("op", "Operator", "second")));
  EXPECT_NE(out.find("<tds:SetUserResponse></tds:SetUserResponse>"), std::string::npos);
  EXPECT_FALSE(logs_in("op", "o&p<A"));
  EXPECT_TRUE(logs_in("op", "second"));
  // A SetUser without a password changes the level only.
  call(handle_set_user, part("SetUser",
                             "<tds:User><tt:Username>op</tt:Username>"
                             "<tt:UserLevel>User</tt:UserLevel></tds:User>"));
  EXPECT_TRUE(logs_in("op", "second"));
  EXPECT_NE(get_users().find("<tt:Username>op</tt:Username><tt:UserLevel>User</tt:UserLevel>"),
            std::string::npos);
  out = call(handle_delete_users, names({"op"}));
  EXPECT_NE(out.find("<tds:DeleteUsersResponse></tds:DeleteUsersResponse>"), std::string::npos);
  EXPECT_FALSE(logs_in("op", "second"));
  EXPECT_TRUE(logs_in("boss", "b-pass"));
}

TEST_F(UsersTest, GetUsersListsTheFileWithoutPasswords) {
  std::ofstream(UsersFilePath, std::ios::app) << "a&b:operator:pw:\nodd:guest:pw:a:\n";
  std::string out = get_users();
  EXPECT_NE(out.find("<SOAP-ENV:Body><tds:GetUsersResponse>"
                     "<tds:User><tt:Username>boss</tt:Username>"
                     "<tt:UserLevel>Administrator</tt:UserLevel></tds:User>"
                     "<tds:User><tt:Username>a&amp;b</tt:Username>"
                     "<tt:UserLevel>Operator</tt:UserLevel></tds:User>"
                     "<tds:User><tt:Username>odd</tt:Username>"
                     "<tt:UserLevel>Anonymous</tt:UserLevel></tds:User>"
                     "</tds:GetUsersResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("Password"), std::string::npos);
}

TEST_F(UsersTest, EachRefusalHasItsFaultAndChangesNothing) {
  struct Case {
    Handler handler;
    std::string body;
    const char* subcodes;
  };
  const std::string too_long = std::string(40, 'n');  // read whole, never cut to fit
  const Case cases[] = {
      {handle_create_users, part("CreateUsers", user("a") + user("boss")),
       "ter:OperationProhibited</SOAP-ENV:Value><SOAP-ENV:Subcode><SOAP-ENV:Value>"
       "ter:UsernameClash"},
      {handle_create_users, part("CreateUsers", user(too_long)), "ter:UsernameTooLong"},
      {handle_create_users, part("CreateUsers", user("")), "ter:UsernameTooShort"},
      {handle_create_users, part("CreateUsers", user("a:b")), "ter:InvalidArgVal"},
      {handle_create_users, part("CreateUsers", user("a", "User", std::string(32, 'p'))),
       "ter:PasswordTooLong"},
      {handle_create_users, part("CreateUsers", user("a", "User", "")), "ter:PasswordTooWeak"},
      {handle_create_users, part("CreateUsers", user("a", "Anonymous")), "ter:AnonymousNotAllowed"},
      {handle_create_users, part("CreateUsers", user("a", "Superuser")), "ter:InvalidArgVal"},
      {handle_create_users, part("CreateUsers", user("a", "User", "p<b/>")), "ter:InvalidArgVal"},
      {handle_create_users, part("CreateUsers", user("a", "User", "p&nbsp;")), "ter:InvalidArgVal"},
      {handle_set_user, part("SetUser", user("nobody")), "ter:UsernameMissing"},
      {handle_set_user, part("SetUser", user("boss", "Operator")),
       "ter:InvalidArgVal</SOAP-ENV:Value><SOAP-ENV:Subcode><SOAP-ENV:Value>ter:FixedUser"},
      {handle_delete_users, names({"boss"}), "ter:FixedUser"},
      {handle_delete_users, names({"nobody"}), "ter:UsernameMissing"},
  };
  std::ifstream in(UsersFilePath);
  std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const Case& c : cases) {
    std::string out = call(c.handler, c.body);
    EXPECT_NE(out.find(c.subcodes), std::string::npos) << c.body << "\n" << out;
    EXPECT_EQ(out.find("Response>"), std::string::npos) << c.body;
    std::ifstream now(UsersFilePath);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(now)), std::istreambuf_iterator<char>()),
              before)
        << c.body;
  }
}

TEST_F(UsersTest, AFileThatCannotBeWrittenIsAFault) {
  UsersFilePath = "/nonexistent/nvtd/users";
  std::string out = call(handle_create_users, part("CreateUsers", user("a")));
  EXPECT_NE(out.find("<SOAP-ENV:Value>SOAP-ENV:Receiver</SOAP-ENV:Value><SOAP-ENV:Subcode>"
                     "<SOAP-ENV:Value>ter:Action</SOAP-ENV:Value>"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("Response>"), std::string::npos);
}

TEST_F(UsersTest, TracesNameUsersButNeverPasswords) {
  scoped_config.set(&Config::server, true);
  StdoutCapture trace_out;
  call(handle_create_users, part("CreateUsers", user("a", "User", "secret-pw")));
  std::string traced = trace_out.take();
  EXPECT_NE(traced.find("created user a\n"), std::string::npos);
  EXPECT_EQ(traced.find("secret-pw"), std::string::npos);
}

}  // namespace
}  // namespace nvtd
