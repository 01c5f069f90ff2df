// The Authorization parser: what it reads, and what it refuses without reading further.
#include "nvtd/auth/digest_header.h"

#include <gtest/gtest.h>

#include <string>

namespace nvtd {
namespace {

const std::string kFull =
    "Digest username=\"admin\", realm=\"ONVIF camera\", nonce=\"n1\", "
    "uri=\"/onvif/device_service\","
    " response=\"abc\", algorithm=SHA-256, qop=auth, nc=00000001, cnonce=\"c1\"";

TEST(DigestHeader, ReadsEveryParameter) {
  DigestCredentials c;
  ASSERT_EQ(parse_digest_authorization(kFull, &c), DigestParse::kDigest);
  EXPECT_EQ(c.username, "admin");
  EXPECT_EQ(c.realm, "ONVIF camera");
  EXPECT_EQ(c.nonce, "n1");
  EXPECT_EQ(c.uri, "/onvif/device_service");
  EXPECT_EQ(c.response, "abc");
  EXPECT_EQ(c.algorithm, "SHA-256");
  EXPECT_EQ(c.qop, "auth");
  EXPECT_EQ(c.nc, "00000001");
  EXPECT_EQ(c.cnonce, "c1");
  EXPECT_EQ(c.userhash, "");
}

TEST(DigestHeader, SyntaxCases) {
  const std::string required = "realm=r, nonce=n, uri=\"/u\", response=x";
  struct Case {
    std::string value;
    DigestParse result;
    const char* username;  // when kDigest
  };
  const Case cases[] = {
      {"digest username=a, " + required, DigestParse::kDigest, "a"},  // scheme in any case
      {"  Digest\tusername=a," + required, DigestParse::kDigest, "a"},
      {"Digest ,, username=a ,\t" + required + " ,", DigestParse::kDigest, "a"},  // empty items
      {"Digest USERNAME = \"a\" , " + required, DigestParse::kDigest, "a"},
      {"Digest username=\"a\\\"b\\\\\", " + required, DigestParse::kDigest, "a\"b\\"},  // escapes
      {"Digest username=\"a,b=c\", " + required, DigestParse::kDigest, "a,b=c"},
      {"Digest opaque=\"x\", other=y, username=a, " + required, DigestParse::kDigest, "a"},
      {"Digest username=\"\", " + required, DigestParse::kDigest, ""},
      {"", DigestParse::kNotDigest, ""},
      {"Basic YWRtaW46YWRtaW4=", DigestParse::kNotDigest, ""},
      {"Digestive username=a, " + required, DigestParse::kNotDigest, ""},
      {"Digest", DigestParse::kMalformed, ""},
      {"Digest,username=a, " + required, DigestParse::kMalformed, ""},
      {"Digest " + required, DigestParse::kMalformed, ""},  // no username
      {"Digest username=a, realm=r, nonce=n, uri=\"/u\"", DigestParse::kMalformed, ""},
      {"Digest username=a, username=b, " + required, DigestParse::kMalformed, ""},
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
