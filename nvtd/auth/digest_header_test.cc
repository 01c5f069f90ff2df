// The Authorization parser: its syntax, and what it refuses without reading further (what it
// reads is exercised through the authentication step's tests).
#include "nvtd/auth/digest_header.h"

#include <gtest/gtest.h>

#include <string>

namespace nvtd {
namespace {

TEST(DigestHeader, SyntaxCases) {
  const std::string required = "realm=r, nonce=n, uri=\"/u\", response=x";
  struct Case {
    std::string value;
    DigestParse result;
    const char* username;  // when kDigest
  };
  const Case cases[] = {
      {"digest username=a, " + required, DigestParse::kDigest, "a"},  // scheme in any case
      {"  Digest\t,, username=a ,\t" + required + " ,", DigestParse::kDigest, "a"},  // empty items
      {"Digest USERNAME = \"a\" , " + required, DigestParse::kDigest, "a"},
      {"Digest username=\"a\\\"b\\\\\", " + required, DigestParse::kDigest, "a\"b\\"},  // escapes
      {"Digest username=\"a,b=c\", " + required, DigestParse::kDigest, "a,b=c"},
      {"Digest opaque=\"x\", other=y, username=a, " + required, DigestParse::kDigest, "a"},
      {"", DigestParse::kNotDigest, ""},
      {"Basic YWRtaW46YWRtaW4=", DigestParse::kNotDigest, ""},
      {"Digestive username=a, " + required, DigestParse::kNotDigest, ""},
      {"Digest", DigestParse::kMalformed, ""},
      {"Digest,username=a, " + required, DigestParse::kMalformed, ""},
      {"Digest " + required, DigestParse::kMalformed, ""},  // no username
      {"Digest username=a, realm=r, nonce=n, uri=\"/u\"", DigestParse::kMalformed, ""},
      {"Digest username=a, Username=b, " + required, DigestParse::kMalformed, ""},
      {"Digest username=\"a, " + required, DigestParse::kMalformed, ""},  // unclosed quote
      {"Digest username=\"a\\", DigestParse::kMalformed, ""},
      {"Digest username=a b, " + required, DigestParse::kMalformed, ""},
      {"Digest username=, " + required, DigestParse::kMalformed, ""},
      {"Digest =a, " + required, DigestParse::kMalformed, ""},
      {"Digest username a, " + required, DigestParse::kMalformed, ""},
      {"Digest username=\"a\nb\", " + required, DigestParse::kMalformed, ""},  // control char
      {"Digest username=\"a\x7f\", " + required, DigestParse::kMalformed, ""},
      {"Digest username=a, cnonce=\"" + std::string(kMaxDigestParameter, 'c') + "\", " + required,
       DigestParse::kDigest, "a"},
      {"Digest username=a, cnonce=\"" + std::string(kMaxDigestParameter + 1, 'c') + "\", " +
           required,
       DigestParse::kMalformed, ""},
      {"Digest username=a, x=" + std::string(kMaxDigestParameter + 1, 'c') + ", " + required,
       DigestParse::kMalformed, ""},
      {"Digest username=a, " + required + ", pad=\"" + std::string(kMaxAuthorizationLength, 'p'),
       DigestParse::kMalformed, ""},
  };
  for (const Case& c : cases) {
    DigestCredentials credentials;
    EXPECT_EQ(parse_digest_authorization(c.value, &credentials), c.result) << c.value;
    if (c.result == DigestParse::kDigest) {
      EXPECT_EQ(credentials.username, c.username) << c.value;
      EXPECT_EQ(credentials.uri, "/u") << c.value;  // the views stay valid to the end
    }
  }
}

}  // namespace
}  // namespace nvtd
