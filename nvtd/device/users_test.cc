#include "nvtd/device/users.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nvtd/core/operation.h"
#include "nvtd/core/output_capture_test_util.h"
#include "nvtd/core/process_state.h"
#include "nvtd/core/user_table.h"

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

class UsersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_process_state();
    user_table_reset();
  }
  std::string call(Handler handler, const std::string& text) {
    Request request;
    request.body = text;
    OutputCapture out;
    handler(request, out.reply());
    return out.take();
  }
  std::string get_users() { return call(handle_get_users, ""); }
  static int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
  }
};

TEST_F(UsersTest, FreshTableListsTheFixedUsers) {
  std::string out = get_users();
  EXPECT_NE(out.find("<SOAP-ENV:Body><tds:GetUsersResponse>"
                     "<tds:User><tt:Username>admin</tt:Username><tt:Password></tt:Password>"
                     "<tt:UserLevel>Administrator</tt:UserLevel></tds:User>"
                     "<tds:User><tt:Username>guest</tt:Username><tt:Password></tt:Password>"
                     "<tt:UserLevel>User</tt:UserLevel></tds:User>"
                     "</tds:GetUsersResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>"),
            std::string::npos);
}

TEST_F(UsersTest, CreateSixStoresFiveAndSucceeds) {
  std::string six;
  for (int i = 0; i < 6; ++i) six += user("user" + std::to_string(i), "Operator");
  std::string out = call(handle_create_users, part("CreateUsers", six));
  EXPECT_NE(out.find("<SOAP-ENV:Body><tds:CreateUsersResponse></tds:CreateUsersResponse>"
                     "</SOAP-ENV:Body></SOAP-ENV:Envelope>"),
            std::string::npos);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(user_exists("user" + std::to_string(i)), 1);
  EXPECT_EQ(user_exists("user5"), 0);
  out = get_users();
  EXPECT_EQ(count(out, "<tds:User>"), 7);
  EXPECT_EQ(count(out, "<tt:Password></tt:Password>"), 7);  // never the passwords
  EXPECT_NE(out.find("<tt:Username>user0</tt:Username><tt:Password></tt:Password>"
                     "<tt:UserLevel>Operator</tt:UserLevel>"),
            std::string::npos);
}

TEST_F(UsersTest, CreateAdminListsItTwice) {
  call(handle_create_users, part("CreateUsers", user("admin", "User")));
  EXPECT_EQ(count(get_users(), "<tt:Username>admin</tt:Username>"), 2);
}

TEST_F(UsersTest, ClashKeepsTheUsersBeforeIt) {
  user_add("taken", "x", "User");
  std::string out =
      call(handle_create_users, part("CreateUsers", user("first") + user("taken") + user("last")));
  EXPECT_NE(out.find("ter:UsernameClash"), std::string::npos);
  EXPECT_EQ(out.find("HTTP/1.0 400"), std::string::npos);  // a 200 fault
  EXPECT_EQ(user_exists("first"), 1);
  EXPECT_EQ(user_exists("last"), 0);
}

TEST_F(UsersTest, UnprefixedUserElementsToo) {
  std::string body = part("CreateUsers",
                          "<User><Username>a</Username><Password>p</Password>"
                          "<UserLevel>User</UserLevel></User><User><Username>b</Username>"
                          "<Password>p</Password><UserLevel>User</UserLevel></User>");
  call(handle_create_users, body);
  EXPECT_EQ(user_exists("a") + user_exists("b"), 2);
}

TEST_F(UsersTest, ValuesCutTo31Characters) {
  call(handle_create_users, part("CreateUsers", user(std::string(40, 'n'), std::string(40, 'L'))));
  EXPECT_EQ(user_exists(std::string(31, 'n')), 1);
  EXPECT_EQ(user_table()[0].level, std::string(31, 'L'));
}

TEST_F(UsersTest, DeleteRefusesFixedAndUnknownUsersBeforeDeletingAny) {
  user_add("a", "p", "User");
  user_add("b", "p", "User");
  std::string out = call(handle_delete_users, part("DeleteUsers",
                                                   "<tds:Username>a</tds:Username>"
                                                   "<tds:Username>guest</tds:Username>"));
  EXPECT_NE(out.find("ter:FixedUser"), std::string::npos);
  EXPECT_EQ(user_exists("a"), 1);
  out = call(handle_delete_users, part("DeleteUsers",
                                       "<tds:Username>a</tds:Username>"
                                       "<tds:Username>zz</tds:Username>"));
  EXPECT_NE(out.find("ter:UsernameMissing"), std::string::npos);
  EXPECT_EQ(user_exists("a"), 1);
  out = call(handle_delete_users, part("DeleteUsers",
                                       "<tds:Username>a</tds:Username>"
                                       "<tds:Username>b</tds:Username>"));
  EXPECT_NE(out.find("<tds:DeleteUsersResponse></tds:DeleteUsersResponse>"), std::string::npos);
  EXPECT_EQ(user_exists("a") + user_exists("b"), 0);
}

TEST_F(UsersTest, SetUserWithAnUnknownNameChangesNothing) {
  user_add("a", "p", "User");
  std::string out =
      call(handle_set_user, part("SetUser", user("a", "Administrator", "q") + user("zz")));
  EXPECT_NE(out.find("ter:UsernameMissing"), std::string::npos);
  EXPECT_EQ(user_table()[0].level, "User");
  EXPECT_EQ(user_table()[0].password, "p");
  out = call(handle_set_user, part("SetUser", user("a", "Administrator", "q")));
  EXPECT_NE(out.find("<tds:SetUserResponse></tds:SetUserResponse>"), std::string::npos);
  EXPECT_EQ(user_table()[0].level, "Administrator");
  EXPECT_EQ(user_table()[0].password, "q");
}

TEST_F(UsersTest, TruncatedAndEmptyBodiesStayInside) {
  std::string full = part("CreateUsers", user("a") + user("b"));
  for (std::size_t n = 0; n <= full.size(); ++n) {
    user_table_reset();
    std::string cut = full.substr(0, n);
    call(handle_create_users, cut);
    call(handle_set_user, cut);
    call(handle_delete_users, cut);
  }
  // A body cut inside the first user's values creates nobody.
  user_table_reset();
  call(handle_create_users, full.substr(0, full.find("</tt:UserLevel>")));
  EXPECT_EQ(user_exists("a"), 0);
  call(handle_create_users, full);
  EXPECT_EQ(user_exists("a") + user_exists("b"), 2);
}

TEST_F(UsersTest, TracesOnlyInTheServerModes) {
  Server = true;
  StdoutCapture trace_out;
  call(handle_create_users, part("CreateUsers", user("a", "User", "pw")));
  std::string traced = trace_out.take();
  EXPECT_NE(traced.find("enter handle_create_users with "), std::string::npos);
  EXPECT_NE(traced.find("found user a password pw level User\n"), std::string::npos);
  EXPECT_NE(traced.find("created user a (0)\n"), std::string::npos);
}

}  // namespace
}  // namespace nvtd
