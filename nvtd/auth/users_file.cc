// Reading the users file line by line and turning a line's secret back into a password.
#include "nvtd/auth/users_file.h"

#include <openssl/crypto.h>

#include <array>
#include <fstream>
#include <vector>

#include "nvtd/auth/base64.h"
#include "nvtd/auth/password_cipher.h"

namespace nvtd {

std::string UsersFilePath = "/etc/nvtd/users";
std::string UsersFileFallbackPath = "/etc/nvtd/.users";

namespace {

// Lines are read up to 499 characters; the rest of a longer line is not looked at.
constexpr std::size_t kMaxLine = 499;

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t pos = 0;
  while (pos < line.size()) {
    std::size_t end = line.find(':', pos);
    if (end == std::string_view::npos) end = line.size();
    if (end > pos) fields.push_back(line.substr(pos, end - pos));
    pos = end + 1;
  }
  return fields;
}

}  // namespace

UsersLine parse_users_line(std::string_view line) {
  line = line.substr(0, kMaxLine);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  std::vector<std::string_view> fields = split_fields(line);
  UsersLine out;
  if (fields.size() > 0) out.name = std::string(fields[0]);
  if (fields.size() > 1) out.level = std::string(fields[1]);
  if (fields.size() > 2) out.secret = std::string(fields[2]);
  if (fields.size() > 3) out.flag = std::string(fields[3]);
  return out;
}

int find_users_line(const std::string& name, UsersLine* line) {
  std::ifstream in(UsersFilePath);
  if (!in) in.open(UsersFileFallbackPath);
  if (!in) return -1;
  std::string text;
  while (std::getline(in, text)) {
    UsersLine parsed = parse_users_line(text);
    if (!parsed.name.empty() && parsed.name == name) {
      *line = std::move(parsed);
      return 1;
    }
  }
  return 0;
}

std::optional<std::string> users_line_password(const UsersLine& line) {
  if (!line.secret) return std::nullopt;
  const std::string& secret = *line.secret;
  if (line.flag != "a") {
    if (secret.size() > kMaxPasswordLength) return std::nullopt;
    return secret;
  }
  std::string sealed = base64_decode(secret);
  std::array<unsigned char, 256> clear{};
  int clear_len = 0;
  if (sealed.empty() || sealed.size() + 9 > clear.size() ||
      rc2_crypt(reinterpret_cast<const unsigned char*>(sealed.data()),
                static_cast<int>(sealed.size()), clear.data(), clear.size(), &clear_len, 0) != 0 ||
      clear_len > static_cast<int>(kMaxPasswordLength)) {
    OPENSSL_cleanse(clear.data(), clear.size());
    return std::nullopt;
  }
  std::string password(reinterpret_cast<const char*>(clear.data()), clear_len);
  OPENSSL_cleanse(clear.data(), clear.size());
  return password;
}

}  // namespace nvtd
