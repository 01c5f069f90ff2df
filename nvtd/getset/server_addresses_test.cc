// The settings servers' address files.

#include "nvtd/getset/server_addresses.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace nvtd {
namespace {

std::string AddressOf(const std::string& contents) {
  std::string path = ::testing::TempDir() + "address_file_test_" + std::to_string(::getpid());
  std::ofstream(path, std::ios::trunc | std::ios::binary) << contents;
  std::string address = read_server_address(path);
  std::remove(path.c_str());
  return address;
}

TEST(ServerAddress, LeadingDigitsAndDots) {
  EXPECT_EQ(AddressOf("192.168.5.10"), "192.168.5.10");
  EXPECT_EQ(AddressOf("192.168.5.10\n"), "192.168.5.10");
  EXPECT_EQ(AddressOf("10.0.0.1 # encoder\n"), "10.0.0.1");
  EXPECT_EQ(AddressOf(".5"), ".5");
}

TEST(ServerAddress, MissingOrEmptyFileGivesLoopbackAndJunkGivesEmpty) {
  EXPECT_EQ(read_server_address(::testing::TempDir() + "no_such_address_file"), "127.0.0.1");
  EXPECT_EQ(AddressOf(""), "127.0.0.1");
  EXPECT_EQ(AddressOf("encoder=10.0.0.1\n"), "");
  EXPECT_EQ(AddressOf("\n10.0.0.1\n"), "");
}

TEST(ServerAddress, AtMost32BytesAreRead) {
  EXPECT_EQ(AddressOf(std::string(40, '1')), std::string(31, '1'));
}

}  // namespace
}  // namespace nvtd
