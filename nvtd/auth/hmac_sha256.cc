// HMAC over one digest context: H((K ^ opad) || H((K ^ ipad) || message)), K the key padded
// with zeros to SHA-256's 64-byte block (a longer key is hashed first).
#include "nvtd/auth/hmac_sha256.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <memory>

namespace nvtd {
namespace {

constexpr std::size_t kBlock = 64;

struct ContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// One hash of two parts with context; false when the library fails.
bool hash_two(EVP_MD_CTX* context, const unsigned char* first, std::size_t first_size,
              const void* second, std::size_t second_size, unsigned char* out) {
  return EVP_DigestInit_ex(context, sha256_digest(), nullptr) == 1 &&
         EVP_DigestUpdate(context, first, first_size) == 1 &&
         EVP_DigestUpdate(context, second, second_size) == 1 &&
         EVP_DigestFinal_ex(context, out, nullptr) == 1;
}

}  // namespace

const EVP_MD* sha256_digest() {
  static const EVP_MD* digest = [] {
    const EVP_MD* fetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return fetched != nullptr ? fetched : EVP_sha256();
  }();
  return digest;
}

const EVP_MD* md5_digest() {
  static const EVP_MD* digest = [] {
    const EVP_MD* fetched = EVP_MD_fetch(nullptr, "MD5", nullptr);
    return fetched != nullptr ? fetched : EVP_md5();
  }();
  return digest;
}

Sha256Mac hmac_sha256(const unsigned char* key, std::size_t key_size, std::string_view message) {
  Sha256Mac mac{};
  std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
  if (!context) return mac;
  unsigned char pad[kBlock] = {};
  bool ok = true;
  if (key_size > kBlock) {
    ok = hash_two(context.get(), key, key_size, "", 0, pad);
  } else {
    std::copy(key, key + key_size, pad);
  }
  for (unsigned char& byte : pad) byte ^= 0x36;
  Sha256Mac inner{};
  ok = ok && hash_two(context.get(), pad, kBlock, message.data(), message.size(), inner.data());
  for (unsigned char& byte : pad) byte ^= 0x36 ^ 0x5c;
  ok = ok && hash_two(context.get(), pad, kBlock, inner.data(), inner.size(), mac.data());
  OPENSSL_cleanse(pad, sizeof pad);
  OPENSSL_cleanse(inner.data(), inner.size());
  if (!ok) mac.fill(0);
  return mac;
}

}  // namespace nvtd
