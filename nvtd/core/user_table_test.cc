#include "nvtd/core/user_table.h"

#include <gtest/gtest.h>

namespace nvtd {
namespace {

class UserTableTest : public ::testing::Test {
 protected:
  void SetUp() override { user_table_reset(); }
};

TEST_F(UserTableTest, FirstFreeSlotAndFiveAtMost) {
  for (int i = 0; i < 5; ++i) EXPECT_EQ(user_add("u" + std::to_string(i), "p", "User"), 0);
  EXPECT_EQ(user_add("u5", "p", "User"), -1);
  EXPECT_EQ(user_exists("u5"), 0);
  EXPECT_EQ(user_delete("u1"), 0);
  EXPECT_EQ(user_add("again", "p", "Operator"), 0);
  EXPECT_EQ(user_table()[1].name, "again");
  EXPECT_TRUE(user_table()[1].in_use);
}

TEST_F(UserTableTest, NamesAreUnique) {
  EXPECT_EQ(user_add("bob", "one", "User"), 0);
  EXPECT_EQ(user_add("bob", "two", "Administrator"), -2);
  EXPECT_EQ(user_table()[0].password, "one");
  EXPECT_EQ(user_exists("bob"), 1);
  EXPECT_EQ(user_exists("Bob"), 0);
}

TEST_F(UserTableTest, ModifyAndDeleteNeedAnExistingUser) {
  EXPECT_EQ(user_modify("bob", "x", "User"), -2);
  EXPECT_EQ(user_delete("bob"), -2);
  user_add("bob", "one", "User");
  EXPECT_EQ(user_modify("bob", "two", "Operator"), 0);
  EXPECT_EQ(user_table()[0].password, "two");
  EXPECT_EQ(user_table()[0].level, "Operator");
  EXPECT_EQ(user_delete("bob"), 0);
  EXPECT_FALSE(user_table()[0].in_use);
  EXPECT_EQ(user_table()[0].name, "");
  EXPECT_EQ(user_exists("bob"), 0);
}

TEST_F(UserTableTest, ListInSlotOrderWithoutPasswords) {
  user_add("a", "secret", "User");
  user_add("b", "secret", "Operator");
  user_delete("a");
  user_add("c", "secret", "Administrator");
  std::string list;
  user_list(&list, 2000);
  EXPECT_EQ(list,
            "<tds:User><tt:Username>c</tt:Username><tt:Password></tt:Password>"
            "<tt:UserLevel>Administrator</tt:UserLevel></tds:User>"
            "<tds:User><tt:Username>b</tt:Username><tt:Password></tt:Password>"
            "<tt:UserLevel>Operator</tt:UserLevel></tds:User>");
}

TEST_F(UserTableTest, ListStopsWhenLessThan250BytesRemain) {
  for (int i = 0; i < 5; ++i) user_add(std::string(31, 'a' + i), "p", std::string(31, 'L'));
  std::string list;
  user_list(&list, 500);  // one entry is 166 bytes: after two, 168 remain
  EXPECT_EQ(list.size(), 2u * 166u);
  list.clear();
  user_list(&list, 100);  // never more than size - 1 bytes
  EXPECT_EQ(list.size(), 99u);
}

}  // namespace
}  // namespace nvtd
