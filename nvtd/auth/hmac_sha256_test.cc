#include "nvtd/auth/hmac_sha256.h"

#include <gtest/gtest.h>
#include <openssl/hmac.h>

#include <string>

namespace nvtd {
namespace {

std::string hex(const Sha256Mac& mac) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : mac) out += {kHex[byte >> 4], kHex[byte & 15]};
  return out;
}

Sha256Mac mac_of(const std::string& key, const std::string& message) {
  return hmac_sha256(reinterpret_cast<const unsigned char*>(key.data()), key.size(), message);
}

// RFC 4231's cases 1, 2 and 6 (a key longer than the block).
TEST(HmacSha256, KnownAnswers) {
  struct Case {
    std::string key, message, mac;
  } cases[] = {
      {std::string(20, '\x0b'), "Hi There",
       "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
      {"Jefe", "what do ya want for nothing?",
       "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
      {std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
  };
  for (const Case& c : cases) EXPECT_EQ(hex(mac_of(c.key, c.message)), c.mac) << c.message;
}

// The same as OpenSSL's one-shot HMAC for the keys authentication uses (16 and 32 bytes) and
// at the block's edges, over messages of every length up to a few blocks.
TEST(HmacSha256, MatchesTheLibrarysHmac) {
  for (std::size_t key_size : {0, 1, 16, 32, 63, 64, 65, 100}) {
    std::string key;
    for (std::size_t i = 0; i < key_size; ++i) key.push_back(char(i * 7 + 1));
    std::string message;
    for (std::size_t size = 0; size <= 200; ++size) {
      Sha256Mac expected{};
      unsigned int expected_size = expected.size();
      HMAC(EVP_sha256(), key.data(), int(key.size()),
           reinterpret_cast<const unsigned char*>(message.data()), message.size(), expected.data(),
           &expected_size);
      ASSERT_EQ(mac_of(key, message), expected) << "key " << key_size << ", message " << size;
      message.push_back(char(size * 13 + 5));
    }
  }
}

}  // namespace
}  // namespace nvtd
