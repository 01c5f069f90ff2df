#include "nvtd/auth/user_table.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "nvtd/auth/useradd.h"
#include "nvtd/auth/users_file.h"
#include "nvtd/auth/users_file_update.h"

namespace nvtd {
namespace {

std::string line(const std::string& name, const std::string& password, const std::string& level) {
  std::string error;
  return make_useradd_line(name, password, level, &error).value_or("");
}

std::vector<std::string> two_accounts() {
  return {line("boss", "b-pass", "administrator"), line("viewer", "v-pass", "user")};
}

AccountEntry entry(const std::string& name, const std::string& level = "User",
                   std::optional<std::string> password = std::string("pw")) {
  return AccountEntry{name, std::move(password), level};
}

TEST(UserTable, RefusalsLeaveTheLinesAsTheyWere) {
  enum Op { kCreate, kSet, kDelete };
  struct Case {
    const char* what;
    Op op;
    std::vector<AccountEntry> entries;
    std::vector<std::string> names;
    AccountRefusal want;
  };
  const std::string p31(31, 'p');
  const Case cases[] = {
      {"name with ':'", kCreate, {entry("a:b")}, {}, AccountRefusal::kValueInvalid},
      {"name with a newline", kCreate, {entry("a\nb")}, {}, AccountRefusal::kValueInvalid},
      {"name with a CR", kCreate, {entry("ab\r")}, {}, AccountRefusal::kValueInvalid},
      {"name with '&'", kCreate, {entry("a&amp;b")}, {}, AccountRefusal::kValueInvalid},
      {"name of 12", kCreate, {entry("abcdefghijkl")}, {}, AccountRefusal::kNameTooLong},
      {"name of 11", kCreate, {entry("abcdefghijk")}, {}, AccountRefusal::kNone},
      {"empty name", kCreate, {entry("")}, {}, AccountRefusal::kNameEmpty},
      {"password of 32",
       kCreate,
       {entry("a", "User", p31 + "p")},
       {},
       AccountRefusal::kPasswordTooLong},
      {"password of 31 with ':' and newline",
       kCreate,
       {entry("a", "User", "a:b\nc" + p31.substr(5))},
       {},
       AccountRefusal::kNone},
      {"no password",
       kCreate,
       {entry("a", "User", std::nullopt)},
       {},
       AccountRefusal::kPasswordMissing},
      {"empty password", kCreate, {entry("a", "User", "")}, {}, AccountRefusal::kPasswordMissing},
      {"Anonymous", kCreate, {entry("a", "Anonymous")}, {}, AccountRefusal::kLevelAnonymous},
      {"Extended", kCreate, {entry("a", "Extended")}, {}, AccountRefusal::kValueInvalid},
      {"file spelling of a level",
       kCreate,
       {entry("a", "operator")},
       {},
       AccountRefusal::kValueInvalid},
      {"existing name", kCreate, {entry("viewer")}, {}, AccountRefusal::kNameClash},
      {"one name twice", kCreate, {entry("a"), entry("a")}, {}, AccountRefusal::kNameClash},
      {"good then bad", kCreate, {entry("a"), entry("b:")}, {}, AccountRefusal::kValueInvalid},
      {"set unknown", kSet, {entry("viewer"), entry("nobody")}, {}, AccountRefusal::kNameMissing},
      {"demote the last administrator",
       kSet,
       {entry("boss", "Operator")},
       {},
       AccountRefusal::kLastAdministrator},
      {"set password of 32",
       kSet,
       {entry("viewer", "User", p31 + "p")},
       {},
       AccountRefusal::kPasswordTooLong},
      {"set empty password",
       kSet,
       {entry("viewer", "User", "")},
       {},
       AccountRefusal::kPasswordMissing},
      {"set Anonymous", kSet, {entry("viewer", "Anonymous")}, {}, AccountRefusal::kLevelAnonymous},
      {"delete unknown", kDelete, {}, {"viewer", "nobody"}, AccountRefusal::kNameMissing},
      {"delete twice", kDelete, {}, {"viewer", "viewer"}, AccountRefusal::kNameMissing},
      {"delete the last administrator", kDelete, {}, {"boss"}, AccountRefusal::kLastAdministrator},
      {"delete a user", kDelete, {}, {"viewer"}, AccountRefusal::kNone},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = two_accounts();
    AccountRefusal got = c.op == kCreate ? create_in(lines, c.entries)
                         : c.op == kSet  ? set_in(lines, c.entries)
                                         : delete_in(lines, c.names);
    EXPECT_EQ(got, c.want) << c.what;
    if (c.want != AccountRefusal::kNone) {
      EXPECT_EQ(lines, two_accounts()) << c.what;
    }
  }
}

TEST(UserTable, CreatedLinesAreUseraddLines) {
  std::vector<std::string> lines = two_accounts();
  ASSERT_EQ(create_in(lines, {entry("op", "Operator", "o:pass\n")}), AccountRefusal::kNone);
  ASSERT_EQ(lines.size(), 3u);
  UsersLine parsed = parse_users_line(lines[2]);
  EXPECT_EQ(parsed.name, "op");
  EXPECT_EQ(parsed.level, "operator");
  EXPECT_EQ(parsed.flag, "a");
  EXPECT_EQ(users_line_password(parsed).value_or("-"), "o:pass\n");
  EXPECT_EQ(lines[2].back(), ':');
}

TEST(UserTable, SetKeepsOrChangesThePasswordAndLeavesOneLine) {
  std::vector<std::string> lines = two_accounts();
  lines.push_back(line("viewer", "shadowed", "administrator"));  // authentication never reads it
  ASSERT_EQ(set_in(lines, {entry("viewer", "Operator", std::nullopt)}), AccountRefusal::kNone);
  ASSERT_EQ(lines.size(), 2u);
  UsersLine parsed = parse_users_line(lines[1]);
  EXPECT_EQ(parsed.level, "operator");
  EXPECT_EQ(users_line_password(parsed).value_or("-"), "v-pass");
  ASSERT_EQ(set_in(lines, {entry("viewer", "User", "new")}), AccountRefusal::kNone);
  EXPECT_EQ(users_line_password(parse_users_line(lines[1])).value_or("-"), "new");
  // One of two administrators may be demoted, and then the other stays.
  lines.push_back(line("second", "s", "administrator"));
  EXPECT_EQ(set_in(lines, {entry("boss", "User")}), AccountRefusal::kNone);
  EXPECT_EQ(delete_in(lines, {"second"}), AccountRefusal::kLastAdministrator);
}

TEST(UserTable, AccountsAsAuthenticationReadsThem) {
  std::vector<std::string> lines = {"# note",
                                    "",
                                    line("boss", "b", "Administrator"),
                                    line("boss", "x", "user"),
                                    line("abcdefghijkl", "x", "user"),
                                    "guest:guest:pw:",
                                    "op:operator:pw:a:"};
  std::vector<Account> accounts = accounts_of(lines);
  ASSERT_EQ(accounts.size(), 4u);
  EXPECT_EQ(accounts[0].name, "# note");  // a line is a line: it names an account
  EXPECT_EQ(accounts[0].level, "Anonymous");
  EXPECT_EQ(accounts[1].name, "boss");
  EXPECT_EQ(accounts[1].level, "Administrator");
  EXPECT_EQ(accounts[2].name, "guest");
  EXPECT_EQ(accounts[2].level, "Anonymous");
  EXPECT_EQ(accounts[3].level, "Operator");
  // Deleting an account removes every line naming it and keeps the others as they were.
  EXPECT_EQ(delete_in(lines, {"boss"}), AccountRefusal::kLastAdministrator);
  lines.push_back(line("second", "s", "administrator"));
  ASSERT_EQ(delete_in(lines, {"boss", "guest"}), AccountRefusal::kNone);
  EXPECT_EQ(lines,
            (std::vector<std::string>{"# note", "", line("abcdefghijkl", "x", "user"),
                                      "op:operator:pw:a:", line("second", "s", "administrator")}));
}

TEST(UserTable, AtMostSixtyFourAccounts) {
  std::vector<std::string> lines = two_accounts();
  std::vector<AccountEntry> more;
  for (int i = 0; i < 62; ++i) more.push_back(entry("u" + std::to_string(i)));
  ASSERT_EQ(create_in(lines, more), AccountRefusal::kNone);
  EXPECT_EQ(create_in(lines, {entry("one-more")}), AccountRefusal::kTooManyUsers);
  EXPECT_EQ(lines.size(), 64u);
}

class UsersFileUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/nvtd_users_update.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    UsersFilePath = dir_ + "/users";
    UsersFileFallbackPath = dir_ + "/.users";
  }
  void TearDown() override {
    for (const std::string& name : entries()) unlink((dir_ + "/" + name).c_str());
    rmdir(dir_.c_str());
    UsersFilePath = "/etc/nvtd/users";
    UsersFileFallbackPath = "/etc/nvtd/.users";
  }
  std::vector<std::string> entries() {
    std::vector<std::string> names;
    DIR* d = opendir(dir_.c_str());
    while (dirent* e = d ? readdir(d) : nullptr) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    if (d) closedir(d);
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::string> lines() {
    std::vector<std::string> out;
    EXPECT_EQ(read_users_lines(&out), 0);
    return out;
  }
  static int append(const std::string& text) {
    return update_users_file([&](std::vector<std::string>& l) {
      l.push_back(text);
      return 0;
    });
  }
  std::string dir_;
};

TEST_F(UsersFileUpdate, RewritesWholeAndLeavesNoTemporaryFile) {
  std::ofstream(UsersFilePath) << "first\nlast without newline";
  ASSERT_EQ(append("added"), 0);
  EXPECT_EQ(lines(), (std::vector<std::string>{"first", "last without newline", "added"}));
  struct stat st;
  ASSERT_EQ(stat(UsersFilePath.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(entries(), (std::vector<std::string>{"users", "users.lock"}));
  // A refused change writes nothing: the file is the same file.
  ino_t inode = st.st_ino;
  EXPECT_EQ(update_users_file([](std::vector<std::string>& l) {
              l.clear();
              return 3;
            }),
            3);
  ASSERT_EQ(stat(UsersFilePath.c_str(), &st), 0);
  EXPECT_EQ(st.st_ino, inode);
  EXPECT_EQ(lines().size(), 3u);
}

TEST_F(UsersFileUpdate, TheFallbackFileIsChangedWhenItIsTheOneRead) {
  std::ofstream(UsersFileFallbackPath) << "old\n";
  ASSERT_EQ(append("new"), 0);
  EXPECT_EQ(access(UsersFilePath.c_str(), F_OK), -1);
  EXPECT_EQ(lines(), (std::vector<std::string>{"old", "new"}));
}

TEST_F(UsersFileUpdate, AUsersFileKeptElsewhereThroughALinkStaysThere) {
  std::ofstream(dir_ + "/kept") << "old\n";
  ASSERT_EQ(symlink("kept", UsersFilePath.c_str()), 0);
  ASSERT_EQ(append("new"), 0);
  char target[64] = {};
  EXPECT_EQ(readlink(UsersFilePath.c_str(), target, sizeof target - 1), 4);
  EXPECT_EQ(lines(), (std::vector<std::string>{"old", "new"}));
}

TEST_F(UsersFileUpdate, AMissingDirectoryIsMadeForTheFirstAccount) {
  UsersFilePath = dir_ + "/nvtd/users";
  ASSERT_EQ(append("first"), 0);
  EXPECT_EQ(lines(), std::vector<std::string>{"first"});
  unlink((dir_ + "/nvtd/users").c_str());
  unlink((dir_ + "/nvtd/users.lock").c_str());
  rmdir((dir_ + "/nvtd").c_str());
}

TEST_F(UsersFileUpdate, ConcurrentProcessesLoseNoChange) {
  constexpr int kProcesses = 6, kEach = 15;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failed = 0;
      for (int i = 0; i < kEach; ++i) failed += append(std::to_string(p * 100 + i)) != 0;
      _exit(failed);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(lines().size(), std::size_t(kProcesses * kEach));
}

}  // namespace
}  // namespace nvtd
