#include "nvtd/auth/password_cipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace nvtd {
namespace {

std::string crypt(const std::string& in, int direction) {
  unsigned char out[256];
  int n = -1;
  EXPECT_EQ(rc2_crypt(reinterpret_cast<const unsigned char*>(in.data()),
                      static_cast<int>(in.size()), out, sizeof out, &n, direction),
            0);
  EXPECT_EQ(out[n], '\0');
  return std::string(reinterpret_cast<char*>(out), n);
}

TEST(PasswordCipher, RoundTripsWithBlockPadding) {
  for (std::string password :
       {std::string(), std::string("a"), std::string("secret"), std::string("1234567"),
        std::string("12345678"), std::string(31, 'p')}) {
    std::string sealed = crypt(password, 1);
    EXPECT_EQ(sealed.size(), (password.size() / 8 + 1) * 8) << password;
    if (!password.empty()) {
      EXPECT_NE(sealed.substr(0, password.size()), password);
    }
    EXPECT_EQ(crypt(sealed, 0), password);
  }
}

TEST(PasswordCipher, SameInputSameOutput) {
  // A fixed key and IV: the users file's secrets are reproducible.
  EXPECT_EQ(crypt("admin", 1), crypt("admin", 1));
  EXPECT_NE(crypt("admin", 1), crypt("admim", 1));
}

TEST(PasswordCipher, RefusesBadInput) {
  unsigned char out[64];
  int n = 0;
  // Not a whole number of blocks: the padding check of decryption fails.
  const unsigned char junk[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(rc2_crypt(junk, 5, out, sizeof out, &n, 0), -1);
  // Output too small for a block of padding and the NUL.
  const unsigned char text[8] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
  EXPECT_EQ(rc2_crypt(text, 8, out, 16, &n, 1), -1);
  EXPECT_EQ(rc2_crypt(text, 8, out, 17, &n, 1), 0);
  EXPECT_EQ(n, 16);
}

}  // namespace
}  // namespace nvtd
