// The useradd command: the password is enciphered with rc2_crypt, Base64-encoded and printed
// in a users-file line. Lines that could never authenticate are refused.
#include "nvtd/auth/useradd.h"

#include <openssl/crypto.h>

#include <array>
#include <cstdio>
#include <string_view>

#include "nvtd/auth/base64.h"
#include "nvtd/auth/password_cipher.h"
#include "nvtd/auth/users_file.h"

namespace nvtd {

std::optional<std::string> make_useradd_line(const std::string& username,
                                             const std::string& password, const std::string& level,
                                             std::string* error) {
  if (username.empty() || username.find_first_of(":\r\n") != std::string::npos) {
    *error = "user name must be non-empty and hold no ':' or line break";
    return std::nullopt;
  }
  if (username.size() > kMaxUserNameLength) {
    *error = "user name too long: at most 11 characters are checked";
    return std::nullopt;
  }
  if (password.size() > kMaxPasswordLength) {
    *error = "password too long: at most 31 characters are checked";
    return std::nullopt;
  }
  std::array<unsigned char, 256> sealed{};
  int sealed_len = 0;
  if (rc2_crypt(reinterpret_cast<const unsigned char*>(password.data()),
                static_cast<int>(password.size()), sealed.data(), sealed.size(), &sealed_len,
                1) != 0) {
    *error = "cannot encipher the password";
    return std::nullopt;
  }
  std::string secret = base64_encode(
      std::string_view(reinterpret_cast<const char*>(sealed.data()), size_t(sealed_len)));
  OPENSSL_cleanse(sealed.data(), sealed.size());
  return username + ":" + level + ":" + secret + ":a:";
}

int useradd(const char* username, const char* password, const char* level) {
  std::string error;
  auto line = make_useradd_line(username ? username : "", password ? password : "",
                                level ? level : "", &error);
  if (!line) {
    std::fprintf(stderr, "useradd: %s\n", error.c_str());
    return -1;
  }
  std::printf("%s\n", line->c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace nvtd
