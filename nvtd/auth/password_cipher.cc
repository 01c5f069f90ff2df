// RC2-CBC with a 10-byte key through the EVP cipher interface. OpenSSL 3 keeps RC2 in its
// legacy provider, which is loaded (with the default one) once per process.
#include "nvtd/auth/password_cipher.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <memory>

namespace nvtd {
namespace {

// The first 10 bytes of the key text are the key; the IV is 8 bytes and begins with a space.
constexpr char kKeyText[] = "<KVTRP-QZ:Lanterns";
constexpr int kKeyLength = 10;
constexpr char kIv[] = " qfmtz:W";
constexpr int kBlock = 8;

}  // namespace

const EVP_CIPHER* rc2_cbc() {
  static const EVP_CIPHER* cipher = [] {
    // Providers stay loaded for the life of the process.
    OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER_load(nullptr, "default");
    return static_cast<const EVP_CIPHER*>(EVP_CIPHER_fetch(nullptr, "RC2-CBC", nullptr));
  }();
  return cipher;
}

namespace {

struct CtxFree {
  void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

}  // namespace

int rc2_crypt(const unsigned char* in, int in_len, unsigned char* out, int out_size, int* out_len,
              int direction) {
  if (in_len < 0 || out_size < in_len + kBlock + 1) return -1;
  const EVP_CIPHER* cipher = rc2_cbc();
  if (cipher == nullptr) return -1;
  std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
  if (!ctx) return -1;
  const int enc = direction ? 1 : 0;
  const auto* key = reinterpret_cast<const unsigned char*>(kKeyText);
  const auto* iv = reinterpret_cast<const unsigned char*>(kIv);
  // The key length is set after the cipher is chosen, before key and IV are given.
  if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, nullptr, nullptr, enc) != 1 ||
      EVP_CIPHER_CTX_set_key_length(ctx.get(), kKeyLength) != 1 ||
      EVP_CipherInit_ex(ctx.get(), nullptr, nullptr, key, iv, enc) != 1) {
    return -1;
  }
  int n = 0;
  int tail = 0;
  if (EVP_CipherUpdate(ctx.get(), out, &n, in, in_len) != 1 ||
      EVP_CipherFinal_ex(ctx.get(), out + n, &tail) != 1) {
    return -1;
  }
  *out_len = n + tail;
  out[*out_len] = '\0';
  return 0;
}

}  // namespace nvtd
