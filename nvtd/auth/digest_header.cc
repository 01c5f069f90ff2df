// The Authorization value read as "Digest" followed by a comma-separated list of
// name=value parameters, each value a token or a quoted string with backslash escapes.
#include "nvtd/auth/digest_header.h"

#include <strings.h>

#include <cstring>

namespace nvtd {
namespace {

bool token_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

bool blank(char c) {
  return c == ' ' || c == '\t';
}

void skip_blanks(std::string_view& text) {
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
}

std::string_view take_token(std::string_view& text) {
  std::size_t n = 0;
  while (n < text.size() && token_char(text[n])) ++n;
  std::string_view token = text.substr(0, n);
  text.remove_prefix(n);
  return token;
}

// A quoted string (text starts at its opening quote) or a token, unescaped and appended to
// storage (which has room: it never grows past the header's size); false when it breaks the
// syntax or kMaxDigestParameter.
bool take_value(std::string_view& text, std::string& storage) {
  const std::size_t start = storage.size();
  if (text.empty() || text.front() != '"') {
    storage.append(take_token(text));
    return storage.size() > start && storage.size() - start <= kMaxDigestParameter;
  }
  text.remove_prefix(1);
  while (!text.empty()) {
    char c = text.front();
    text.remove_prefix(1);
    if (c == '"') return true;
    if (c == '\\') {
      if (text.empty()) return false;
      c = text.front();
      text.remove_prefix(1);
    }
    if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f) return false;
    if (storage.size() - start == kMaxDigestParameter) return false;
    storage.push_back(c);
  }
  return false;  // no closing quote
}

struct Field {
  const char* name;
  std::string_view DigestCredentials::*member;
};
constexpr Field kFields[] = {
    {"username", &DigestCredentials::username}, {"realm", &DigestCredentials::realm},
    {"nonce", &DigestCredentials::nonce},       {"uri", &DigestCredentials::uri},
    {"response", &DigestCredentials::response}, {"algorithm", &DigestCredentials::algorithm},
    {"qop", &DigestCredentials::qop},           {"nc", &DigestCredentials::nc},
    {"cnonce", &DigestCredentials::cnonce},     {"userhash", &DigestCredentials::userhash},
};
constexpr std::size_t kFieldCount = sizeof kFields / sizeof kFields[0];
constexpr std::size_t kRequired = 5;  // the first five

// The index in kFields of a parameter name (any case), or kFieldCount.
std::size_t field_index(std::string_view name) {
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (name.size() == std::strlen(kFields[i].name) &&
        strncasecmp(name.data(), kFields[i].name, name.size()) == 0) {
      return i;
    }
  }
  return kFieldCount;
}

}  // namespace

DigestParse parse_digest_authorization(std::string_view value, DigestCredentials* credentials) {
  if (value.size() > kMaxAuthorizationLength) return DigestParse::kMalformed;
  skip_blanks(value);
  std::string_view scheme = take_token(value);
  if (scheme.size() != 6 || strncasecmp(scheme.data(), "Digest", 6) != 0) {
    return DigestParse::kNotDigest;
  }
  if (value.empty() || !blank(value.front())) return DigestParse::kMalformed;
  DigestCredentials& c = *credentials;
  c.storage.clear();
  c.storage.reserve(value.size());  // the views stay valid: no value moves
  bool seen[kFieldCount] = {};
  for (;;) {
    skip_blanks(value);
    if (value.empty()) break;
    if (value.front() == ',') {  // empty list elements are allowed
      value.remove_prefix(1);
      continue;
    }
    std::string_view name = take_token(value);
    skip_blanks(value);
    if (name.empty() || value.empty() || value.front() != '=') return DigestParse::kMalformed;
    value.remove_prefix(1);
    skip_blanks(value);
    const std::size_t start = c.storage.size();
    if (!take_value(value, c.storage)) return DigestParse::kMalformed;
    std::size_t index = field_index(name);
    if (index < kFieldCount) {
      if (seen[index]) return DigestParse::kMalformed;
      seen[index] = true;
      c.*kFields[index].member = std::string_view(c.storage).substr(start);
    }
    skip_blanks(value);
    if (!value.empty() && value.front() != ',') return DigestParse::kMalformed;
  }
  for (std::size_t i = 0; i < kRequired; ++i) {
    if (!seen[i]) return DigestParse::kMalformed;
  }
  return DigestParse::kDigest;
}

}  // namespace nvtd
